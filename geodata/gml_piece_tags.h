#pragma once
// What a piece cut out of a GML document needs to be parsed on its own: bytes
// it can be cut in, and the start tags of its ancestors.
#include <string>
#include <string_view>

namespace kl::geo {

// UTF-8 or ASCII as the bytes and the declaration say: only then can pieces of
// the document be parsed on their own. Anything else is converted whole.
bool isPlainUtf8(std::string_view head);

// A checked start tag with only the attributes a feature reads from its
// ancestors (srsName, srsDimension, dimension): a root's namespace
// declarations and schema locations would otherwise be parsed again with
// every member.
std::string tagForDescendants(std::string_view tag, std::string_view name);

}  // namespace kl::geo
