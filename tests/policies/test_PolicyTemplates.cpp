// The Group Policy templates (policies/purgo.admx and its two languages) against what the
// program reads: every value a policy writes is one of the store's, in its section, with
// its registry type; every setting the templates can express has its policy; every text and
// presentation the template names exists in each language and asks for the policy's elements.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "SettingsValues.h"
#include "XmlScan.h"

namespace purtest {
namespace {

namespace n = pur::names;

constexpr char kPolicyKey[] = "Software\\Policies\\Corvane\\Purgo for Windows";
const char* const kLanguages[] = {"fr-FR", "en-US"};

enum class RegType { Dword, Sz, ExpandSz, MultiSz, Qword, NumberedValues };

const char* TypeName(RegType type) {
  switch (type) {
    case RegType::Dword: return "REG_DWORD";
    case RegType::Sz: return "REG_SZ";
    case RegType::ExpandSz: return "REG_EXPAND_SZ";
    case RegType::MultiSz: return "REG_MULTI_SZ";
    case RegType::Qword: return "REG_QWORD";
    case RegType::NumberedValues: return "numbered values";
  }
  return "?";
}

// The store's sections as its Windows unit lists them (its tables are internal to it): the
// value names are the store's own constants, the registry type follows the member's C++ type.
template <class Section>
struct Field {
  const char* name;
  std::variant<bool Section::*, int32_t Section::*, uint8_t Section::*, std::string Section::*,
               std::vector<std::string> Section::*>
      member;
};

const Field<pur::TDisplaySettings> kDisplay[] = {
    {n::kShowDetail, &pur::TDisplaySettings::ShowDetail}, {n::kMinimizeToIcon, &pur::TDisplaySettings::MinimizeToIcon},
    {n::kRefreshSpeed, &pur::TDisplaySettings::RefreshSpeed}, {n::kPosX, &pur::TDisplaySettings::PosX},
    {n::kPosY, &pur::TDisplaySettings::PosY}};
const Field<pur::TCleaningSettings> kCleaning[] = {
    {n::kEmptyRecycleBin, &pur::TCleaningSettings::EmptyRecycleBin},
    {n::kEmptyTempFolder, &pur::TCleaningSettings::EmptyTempFolder},
    {n::kRunPersonalSearch, &pur::TCleaningSettings::RunPersonalSearch},
    {n::kSendToRecycleBin, &pur::TCleaningSettings::SendToRecycleBin},
    {n::kConfirmDelete, &pur::TCleaningSettings::ConfirmDelete},
    {n::kTestMode, &pur::TCleaningSettings::TestMode},
    {n::kReadOnlyHiddenMode, &pur::TCleaningSettings::ReadOnlyHiddenMode},
    {n::kMinimumAgeDays, &pur::TCleaningSettings::MinimumAgeDays},
    {n::kKeepList, &pur::TCleaningSettings::KeepList}};
const Field<pur::TJournalSettings> kJournal[] = {
    {n::kJournalEnabled, &pur::TJournalSettings::Enabled}, {n::kNewEachSearch, &pur::TJournalSettings::NewEachSearch},
    {n::kEvents, &pur::TJournalSettings::Events}, {n::kLocation, &pur::TJournalSettings::Location}};
const Field<pur::TServiceSettings> kService[] = {
    {n::kAutoStart, &pur::TServiceSettings::AutoStart}, {n::kCleaningType, &pur::TServiceSettings::CleaningType},
    {n::kEveryInterval, &pur::TServiceSettings::EveryInterval},
    {n::kFreeSpaceThreshold, &pur::TServiceSettings::FreeSpaceThreshold}};

// What the program reads from a policy key: its type, and whether it is a Boolean (a policy
// of its own then switches it, 1 or 0, on its own value name).
struct Readable {
  RegType type;
  bool boolean;
};
using ValueKey = std::pair<std::string, std::string>;  // key, value name

template <class Section, size_t N>
void AddSection(const char* section, const Field<Section> (&fields)[N], std::map<ValueKey, Readable>& out) {
  for (const Field<Section>& field : fields) {
    const Readable readable = std::visit(
        [](auto member) -> Readable {
          using T = std::remove_reference_t<decltype(std::declval<Section>().*member)>;
          if constexpr (std::is_same_v<T, bool>) return {RegType::Dword, true};
          if constexpr (std::is_same_v<T, std::string>) return {RegType::Sz, false};
          if constexpr (std::is_same_v<T, std::vector<std::string>>) return {RegType::MultiSz, false};
          return {RegType::Dword, false};  // int32_t, uint8_t
        },
        field.member);
    out[{std::string(kPolicyKey) + "\\" + section, field.name}] = readable;
  }
}

// The personal search's REG_BINARY is left out: no ADMX element writes one.
std::map<ValueKey, Readable> ProgramReads() {
  std::map<ValueKey, Readable> reads;
  AddSection(n::kDisplayKey, kDisplay, reads);
  AddSection(n::kCleaningKey, kCleaning, reads);
  AddSection(n::kJournalKey, kJournal, reads);
  AddSection(n::kServiceKey, kService, reads);
  reads[{kPolicyKey, n::kForbidOptions}] = {RegType::Dword, true};
  reads[{std::string(kPolicyKey) + "\\" + n::kServiceKey, n::kForbidAutomaticCleaning}] = {RegType::Dword, true};
  return reads;
}

// One registry value a policy writes when it is enabled or disabled.
struct Write {
  std::string policy;
  ValueKey value;
  RegType type;
};

RegType ValueType(const XmlElement& value, std::vector<std::string>& problems, const std::string& policy) {
  if (value.First("decimal")) return RegType::Dword;
  if (value.First("longDecimal")) return RegType::Qword;
  if (value.First("string")) return RegType::Sz;
  problems.push_back(policy + ": a value that writes nothing the program reads (delete?)");
  return RegType::NumberedValues;
}

RegType ElementType(const XmlElement& element, std::vector<std::string>& problems, const std::string& policy) {
  const std::string& kind = element.Name;
  if (kind == "decimal") return element.Attribute("storeAsText") == "true" ? RegType::Sz : RegType::Dword;
  if (kind == "longDecimal") return RegType::Qword;
  if (kind == "text") return element.Attribute("expandable") == "true" ? RegType::ExpandSz : RegType::Sz;
  if (kind == "multiText") return RegType::MultiSz;
  if (kind == "list") return RegType::NumberedValues;
  if (kind == "boolean") return RegType::Dword;
  if (kind == "enum") {
    std::set<RegType> types;
    for (const XmlElement* value : element.All("value")) types.insert(ValueType(*value, problems, policy));
    if (types.size() == 1) return *types.begin();
    problems.push_back(policy + ": enum " + element.Attribute("id") + " with values of several types");
    return RegType::NumberedValues;
  }
  problems.push_back(policy + ": element <" + kind + "> not known to this test");
  return RegType::NumberedValues;
}

std::vector<Write> Writes(const XmlElement& policy, std::vector<std::string>& problems) {
  const std::string name = policy.Attribute("name");
  const std::string key = policy.Attribute("key");
  std::vector<Write> writes;
  if (policy.Has("valueName")) {
    RegType type = RegType::Dword;  // enabled 1, disabled 0 when no value is given
    for (const char* which : {"enabledValue", "disabledValue"})
      if (const XmlElement* value = policy.First(which)) type = ValueType(*value, problems, name);
    writes.push_back({name, {key, policy.Attribute("valueName")}, type});
  }
  for (const char* list : {"enabledList", "disabledList"})
    if (policy.First(list)) problems.push_back(name + ": <" + std::string(list) + "> not known to this test");
  if (const XmlElement* elements = policy.First("elements")) {
    for (const XmlElement& element : elements->Children) {
      const std::string elementKey = element.Has("key") ? element.Attribute("key") : key;
      writes.push_back({name, {elementKey, element.Attribute("valueName")}, ElementType(element, problems, name)});
    }
  }
  return writes;
}

bool DecimalIs(const XmlElement* value, const char* number) {
  const XmlElement* decimal = value ? value->First("decimal") : nullptr;
  return decimal && decimal->Attribute("value") == number;
}

// A Boolean is the policy's own switch: enabled 1, disabled 0, on the value itself.
void CheckBoolean(const XmlElement& policy, const Write& write, std::vector<std::string>& problems) {
  const bool own = policy.Attribute("valueName") == write.value.second && !policy.First("elements");
  if (!own || !DecimalIs(policy.First("enabledValue"), "1") || !DecimalIs(policy.First("disabledValue"), "0"))
    problems.push_back(write.policy + ": the Boolean '" + write.value.second +
                       "' must be the policy's valueName with enabledValue decimal 1 and disabledValue decimal 0");
}

// Every value written is one the program reads, with its type; every value the program reads
// has a policy. Gives what is wrong, empty when nothing is.
std::vector<std::string> CheckValues(const XmlElement& admx) {
  std::vector<std::string> problems;
  const std::map<ValueKey, Readable> reads = ProgramReads();
  std::set<ValueKey> written;
  for (const XmlElement* policy : admx.All("policy")) {
    if (policy->Attribute("class") != "Both") problems.push_back(policy->Attribute("name") + ": class is not Both");
    for (const Write& write : Writes(*policy, problems)) {
      const std::string where = write.value.first + "\\'" + write.value.second + "'";
      const auto read = reads.find(write.value);
      if (read == reads.end()) {
        problems.push_back(write.policy + " writes " + where + ", which the program does not read");
        continue;
      }
      if (!written.insert(write.value).second) problems.push_back(write.policy + " writes " + where + " again");
      if (write.type != read->second.type)
        problems.push_back(write.policy + " writes " + where + " as " + TypeName(write.type) + ", the program reads " +
                           TypeName(read->second.type));
      if (read->second.boolean) CheckBoolean(*policy, write, problems);
    }
  }
  for (const auto& [value, read] : reads)
    if (!written.count(value)) problems.push_back("no policy writes " + value.first + "\\'" + value.second + "'");
  return problems;
}

// The names a template refers to with $(kind.X) in its attributes.
void References(const XmlElement& element, const std::string& kind, std::set<std::string>& out) {
  const std::string start = "$(" + kind + ".";
  for (const auto& [name, value] : element.Attributes)
    if (value.rfind(start, 0) == 0 && value.back() == ')')
      out.insert(value.substr(start.size(), value.size() - start.size() - 1));
  for (const XmlElement& child : element.Children) References(child, kind, out);
}

std::string Reference(const std::string& value, const std::string& kind) {
  const std::string start = "$(" + kind + ".";
  return value.rfind(start, 0) == 0 ? value.substr(start.size(), value.size() - start.size() - 1) : std::string();
}

std::set<std::string> Ids(const XmlElement& parent, std::string_view tag, const char* attribute) {
  std::set<std::string> ids;
  for (const XmlElement* element : parent.All(tag)) ids.insert(element->Attribute(attribute));
  return ids;
}

// Every text and presentation the template names is in the language's resources, each
// presentation shows exactly the policy's elements, and the categories named exist.
std::vector<std::string> CheckResources(const XmlElement& admx, const XmlElement& adml, const std::string& language) {
  std::vector<std::string> problems;
  std::set<std::string> strings, presentations;
  References(admx, "string", strings);
  References(admx, "presentation", presentations);
  const std::set<std::string> defined = Ids(adml, "string", "id");
  for (const std::string& id : strings)
    if (!defined.count(id)) problems.push_back(language + ": no string '" + id + "'");
  std::map<std::string, const XmlElement*> shown;
  for (const XmlElement* presentation : adml.All("presentation")) shown[presentation->Attribute("id")] = presentation;
  for (const std::string& id : presentations)
    if (!shown.count(id)) problems.push_back(language + ": no presentation '" + id + "'");
  for (const XmlElement* policy : admx.All("policy")) {
    const std::string name = policy->Attribute("name");
    std::set<std::string> elements;
    if (const XmlElement* list = policy->First("elements"))
      for (const XmlElement& element : list->Children) elements.insert(element.Attribute("id"));
    const auto presentation = shown.find(Reference(policy->Attribute("presentation"), "presentation"));
    if (presentation == shown.end()) {
      if (!elements.empty()) problems.push_back(language + ": " + name + " has elements and no presentation");
      continue;
    }
    std::set<std::string> asked;
    for (const XmlElement& child : presentation->second->Children)
      if (child.Has("refId")) asked.insert(child.Attribute("refId"));
    if (asked != elements) problems.push_back(language + ": the presentation of " + name + " does not show its elements");
  }
  const std::set<std::string> categories = Ids(admx, "category", "name");
  for (const XmlElement* parent : admx.All("parentCategory"))
    if (!categories.count(parent->Attribute("ref"))) problems.push_back("no category '" + parent->Attribute("ref") + "'");
  return problems;
}

std::string ReadFile(const std::string& relative) {
  std::ifstream file(std::string(PUR_POLICIES_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string Joined(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& problem : problems) text += "  " + problem + "\n";
  return text;
}

// The three files with a change made to one of them: the change's problems.
struct Templates {
  std::string admx = ReadFile("purgo.admx");
  std::map<std::string, std::string> adml = {{"fr-FR", ReadFile("fr-FR/purgo.adml")},
                                             {"en-US", ReadFile("en-US/purgo.adml")}};
  std::vector<std::string> Problems() const {
    const XmlElement template_ = ParseXml(admx);
    std::vector<std::string> problems = CheckValues(template_);
    for (const auto& [language, text] : adml) {
      const std::vector<std::string> more = CheckResources(template_, ParseXml(text), language);
      problems.insert(problems.end(), more.begin(), more.end());
    }
    return problems;
  }
};

TEST(PolicyTemplates, ReadAsXml) {
  const Templates files;
  ASSERT_FALSE(files.admx.empty()) << PUR_POLICIES_DIR;
  EXPECT_EQ(ParseXml(files.admx).Name, "policyDefinitions");
  for (const auto& [language, text] : files.adml) {
    ASSERT_FALSE(text.empty()) << language;
    EXPECT_EQ(ParseXml(text).Name, "policyDefinitionResources") << language;
  }
}

TEST(PolicyTemplates, EveryPolicyWritesWhatTheProgramReadsAndEveryTextExists) {
  const std::vector<std::string> problems = Templates().Problems();
  EXPECT_TRUE(problems.empty()) << Joined(problems);
}

// The checks themselves: each fault put into a copy of the files is reported.
TEST(PolicyTemplates, FaultsInTheTemplatesAreReported) {
  const struct Fault {
    const char* file;  // "admx" or a language
    std::string from, to;
    std::string reported;
  } faults[] = {
      {"admx", "valueName=\"Tester\"", "valueName=\"Testeur\"", "'Testeur', which the program does not read"},
      {"admx", "valueName=\"Tous les \"", "valueName=\"Tous les\"", "no policy writes"},
      {"admx", "Purgo for Windows\\Journal\"", "Purgo for Windows\\Journaux\"", "Journaux\\'"},
      {"admx", "<decimal id=\"RefreshSpeed\"", "<decimal storeAsText=\"true\" id=\"RefreshSpeed\"",
       "as REG_SZ, the program reads REG_DWORD"},
      {"admx", "<multiText id=\"KeepList\"", "<list id=\"KeepList\"", "as numbered values"},
      {"admx", "<text id=\"Location\"", "<text expandable=\"true\" id=\"Location\"", "as REG_EXPAND_SZ"},
      {"admx", "<decimal value=\"0\" />\n      </disabledValue>", "<decimal value=\"2\" />\n      </disabledValue>",
       "disabledValue decimal 0"},
      {"admx", "class=\"Both\"", "class=\"Machine\"", "class is not Both"},
      {"admx", "$(string.TestMode_Help)", "$(string.TestMode_Aide)", "no string 'TestMode_Aide'"},
      {"admx", "<parentCategory ref=\"Journal\" />", "<parentCategory ref=\"Journaux\" />", "no category 'Journaux'"},
      {"fr-FR", "<string id=\"TestMode\">", "<string id=\"Test\">", "fr-FR: no string 'TestMode'"},
      {"en-US", "<presentation id=\"KeepList\">", "<presentation id=\"Keep\">", "en-US: no presentation 'KeepList'"},
      {"en-US", "refId=\"Location\"", "refId=\"Folder\"", "en-US: the presentation of Location"},
  };
  for (const Fault& fault : faults) {
    Templates files;
    std::string& text = std::string(fault.file) == "admx" ? files.admx : files.adml.at(fault.file);
    const size_t at = text.find(fault.from);
    ASSERT_NE(at, std::string::npos) << fault.from;
    text.replace(at, fault.from.size(), fault.to);
    const std::vector<std::string> problems = files.Problems();
    const bool reported = std::any_of(problems.begin(), problems.end(),
                                      [&](const std::string& p) { return p.find(fault.reported) != std::string::npos; });
    EXPECT_TRUE(reported) << fault.from << " -> " << fault.to << "\n" << Joined(problems);
  }
}

// The reader refuses what is not well formed rather than reading something else.
TEST(PolicyTemplates, ReaderRefusesBrokenXml) {
  const char* const broken[] = {"", "<a>", "<a></b>", "<a x=\"1></a>", "<a x=1></a>", "<a/><b/>",
                                "<a>&unknown;</a>", "<a x=\"1\" x=\"2\"/>", "text<a/>"};
  for (const char* text : broken) EXPECT_THROW(ParseXml(text), std::runtime_error) << text;
  const XmlElement read = ParseXml("<?xml version=\"1.0\"?><!-- <b/> --><a k=\"T &amp; &#xE9;\"> x <b/>y</a>");
  EXPECT_EQ(read.Attribute("k"), "T & \xC3\xA9");
  EXPECT_EQ(read.Text, " x y");
  ASSERT_EQ(read.Children.size(), 1u);
  EXPECT_EQ(read.Children[0].Name, "b");
}

}  // namespace
}  // namespace purtest
