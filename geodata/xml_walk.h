#pragma once

#include <pugixml.hpp>

#include <string_view>

namespace kl::geo {

// Name without its namespace prefix (the part after the first ':').
inline std::string_view localName(std::string_view name) noexcept {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

inline std::string_view localName(const pugi::xml_node& node) noexcept {
  return localName(node.name());
}

// The white space characters of XML.
inline constexpr bool isXmlSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Text without the XML white space around it: pretty-printed documents wrap
// values in line breaks and indentation.
inline std::string_view trimmedXmlSpace(std::string_view s) noexcept {
  constexpr std::string_view kBlank = " \t\r\n";
  const std::size_t first = s.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlank) - first + 1);
}

// Attribute by local name, so that "gml:id" and "id" both match "id".
inline pugi::xml_attribute attributeByLocalName(const pugi::xml_node& node,
                                                std::string_view name) noexcept {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    if (localName(a.name()) == name) return a;
  }
  return {};
}

// Pre-order walk over the elements below `root` (root excluded) without
// recursion, so deeply nested hostile documents cannot exhaust the stack.
// `visit` returns false to skip the element's subtree.
template <class Visit>
void forEachDescendantElement(const pugi::xml_node& root, Visit&& visit) {
  pugi::xml_node node = root.first_child();
  while (node) {
    bool descend = false;
    if (node.type() == pugi::node_element) {
      descend = visit(node);
    }
    if (descend && node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node != root && !node.next_sibling()) {
      node = node.parent();
    }
    if (node == root) return;
    node = node.next_sibling();
  }
}

// True when some element lies more than `limit` levels below `root`. Stops at
// the first such element, so hostile nesting costs no more than `limit` steps
// down.
inline bool nestedDeeperThan(const pugi::xml_node& root, int limit) {
  int depth = 0;
  pugi::xml_node node = root.first_child();
  if (node) depth = 1;
  while (node) {
    if (node.type() == pugi::node_element && depth > limit) return true;
    if (node.first_child()) {
      node = node.first_child();
      ++depth;
      continue;
    }
    while (node != root && !node.next_sibling()) {
      node = node.parent();
      --depth;
    }
    if (node == root) return false;
    node = node.next_sibling();
  }
  return false;
}

// First element below `root` with the given local name, in document order.
inline pugi::xml_node firstDescendant(const pugi::xml_node& root, std::string_view name) {
  pugi::xml_node found;
  forEachDescendantElement(root, [&](const pugi::xml_node& n) {
    if (found) return false;
    if (localName(n) == name) {
      found = n;
      return false;
    }
    return true;
  });
  return found;
}

}  // namespace kl::geo
