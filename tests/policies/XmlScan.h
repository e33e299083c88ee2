// A small reader of the XML our templates are written in: elements, attributes, text,
// comments and declarations skipped. Not a validating parser: it throws on what it cannot read.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace purtest {

struct XmlElement {
  std::string Name;
  std::map<std::string, std::string> Attributes;
  std::vector<XmlElement> Children;
  std::string Text;  // the text directly inside, entities decoded

  std::string Attribute(const std::string& name) const;
  bool Has(const std::string& name) const { return Attributes.count(name) != 0; }
  // Children of that name, and those of their children, at any depth.
  std::vector<const XmlElement*> All(std::string_view name) const;
  const XmlElement* First(std::string_view name) const;
};

// The document's one top element; std::runtime_error for text that is not well formed.
XmlElement ParseXml(std::string_view text);

}  // namespace purtest
