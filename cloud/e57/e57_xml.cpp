#include "cloud/e57/e57_xml.h"

#include <pugixml.hpp>

#include <charconv>
#include <sstream>

namespace kl::e57 {
namespace {

constexpr const char* kNamespace = "http://www.astm.org/COMMIT/E57/2010-e57-v1.0";

pugi::xml_node typed(pugi::xml_node parent, const char* name, const char* type) {
    auto n = parent.append_child(name);
    n.append_attribute("type") = type;
    return n;
}

void stringValue(pugi::xml_node parent, const char* name, const char* value) {
    typed(parent, name, "String").append_child(pugi::node_cdata).set_value(value);
}

void textValue(pugi::xml_node node, const std::string& text) {
    node.append_child(pugi::node_pcdata).set_value(text.c_str());
}

void emptyVector(pugi::xml_node parent, const char* name) {
    auto v = typed(parent, name, "Vector");
    v.append_attribute("allowHeterogeneousChildren") = "1";
    v.append_child(pugi::node_pcdata);
}

void dateTime(pugi::xml_node parent, const char* name) {
    auto s = typed(parent, name, "Structure");
    typed(s, "dateTimeValue", "Float");
    typed(s, "isAtomicClockReferenced", "Integer");
}

void floatChild(pugi::xml_node parent, const char* name, double v) {
    textValue(typed(parent, name, "Float"), formatE57Float(v));
}

void prototypeAxis(pugi::xml_node proto, const char* name, double lo, double hi) {
    auto n = typed(proto, name, "Float");
    n.append_attribute("precision") = "single";
    n.append_attribute("minimum") = formatE57Float(lo).c_str();
    n.append_attribute("maximum") = formatE57Float(hi).c_str();
    textValue(n, formatE57Float((lo + hi) / 2));
}

void prototypeColour(pugi::xml_node proto, const char* name) {
    auto n = typed(proto, name, "Integer");
    n.append_attribute("minimum") = "0";
    n.append_attribute("maximum") = "255";
}

class StringWriter : public pugi::xml_writer {
public:
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

}  // namespace

std::string formatE57Float(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17);
    std::string s(buf, r.ptr);
    // Drop trailing zeros of the mantissa: 17 significant digits must not
    // print 1.0 as 1.0000000000000000.
    auto e = s.find_first_of("eE");
    std::string mant = s.substr(0, e);
    std::string expo = e == std::string::npos ? "" : s.substr(e);
    if (mant.find('.') != std::string::npos) {
        while (!mant.empty() && mant.back() == '0') mant.pop_back();
        if (!mant.empty() && mant.back() == '.') mant.pop_back();
    }
    return mant + expo;
}

std::string buildE57Xml(uint64_t pointCount, const CartesianBounds& b, const E57Guids& guids) {
    pugi::xml_document doc;
    auto decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";

    auto root = doc.append_child("e57Root");
    root.append_attribute("type") = "Structure";
    root.append_attribute("xmlns") = kNamespace;
    stringValue(root, "formatName", "ASTM E57 3D Imaging Data File");
    stringValue(root, "guid", guids.file.c_str());
    textValue(typed(root, "versionMajor", "Integer"), "1");
    typed(root, "versionMinor", "Integer");
    stringValue(root, "e57LibraryVersion", "ordvik-e57-0.1");
    typed(root, "coordinateMetadata", "String");
    dateTime(root, "creationDateTime");

    auto data3D = typed(root, "data3D", "Vector");
    data3D.append_attribute("allowHeterogeneousChildren") = "1";
    auto scan = typed(data3D, "vectorChild", "Structure");
    stringValue(scan, "guid", guids.scan.c_str());
    stringValue(scan, "name", "ordvik_cloud");
    typed(scan, "temperature", "Float");
    typed(scan, "relativeHumidity", "Float");
    typed(scan, "atmosphericPressure", "Float");
    stringValue(scan, "description", "ordvik");

    auto index = typed(scan, "indexBounds", "Structure");
    typed(index, "rowMinimum", "Integer");
    textValue(typed(index, "rowMaximum", "Integer"), std::to_string(pointCount - 1));
    for (const char* n : {"columnMinimum", "columnMaximum", "returnMinimum", "returnMaximum"}) typed(index, n, "Integer");

    auto colours = typed(scan, "colorLimits", "Structure");
    for (const char* c : {"colorRed", "colorGreen", "colorBlue"}) {
        typed(colours, (std::string(c) + "Minimum").c_str(), "Integer");
        textValue(typed(colours, (std::string(c) + "Maximum").c_str(), "Integer"), "255");
    }

    auto bounds = typed(scan, "cartesianBounds", "Structure");
    floatChild(bounds, "xMinimum", b.xMin);
    floatChild(bounds, "xMaximum", b.xMax);
    floatChild(bounds, "yMinimum", b.yMin);
    floatChild(bounds, "yMaximum", b.yMax);
    floatChild(bounds, "zMinimum", b.zMin);
    floatChild(bounds, "zMaximum", b.zMax);

    auto pose = typed(scan, "pose", "Structure");
    auto rotation = typed(pose, "rotation", "Structure");
    floatChild(rotation, "w", 1.0);
    for (const char* n : {"x", "y", "z"}) typed(rotation, n, "Float");
    auto translation = typed(pose, "translation", "Structure");
    for (const char* n : {"x", "y", "z"}) typed(translation, n, "Float");

    dateTime(scan, "acquisitionStart");
    dateTime(scan, "acquisitionEnd");

    auto points = typed(scan, "points", "CompressedVector");
    points.append_attribute("fileOffset") = "48";
    points.append_attribute("recordCount") = std::to_string(pointCount).c_str();
    auto proto = typed(points, "prototype", "Structure");
    prototypeAxis(proto, "cartesianX", b.xMin, b.xMax);
    prototypeAxis(proto, "cartesianY", b.yMin, b.yMax);
    prototypeAxis(proto, "cartesianZ", b.zMin, b.zMax);
    prototypeColour(proto, "colorRed");
    prototypeColour(proto, "colorGreen");
    prototypeColour(proto, "colorBlue");
    emptyVector(points, "codecs");

    emptyVector(root, "images2D");

    StringWriter w;
    doc.save(w, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return std::move(w.out);
}

}  // namespace kl::e57
