#include "SettingsValues.h"

#include "uUserMainPrgm_Texts.h"

namespace pur {

namespace {

constexpr double kCurrencyScale = 10000.0;

std::string Fill(std::string_view before, std::string_view name) {
  std::string text(before);
  text += '\'';
  text += name;
  text += '\'';
  return text;
}

}  // namespace

TTaggedValue TTaggedValue::Boolean(bool value) {
  return {TValueKind::Boolean, value ? 1 : 0, 0.0, {}};
}
TTaggedValue TTaggedValue::Integer8(uint8_t value) { return {TValueKind::Integer8, value, 0.0, {}}; }
TTaggedValue TTaggedValue::Integer16(int16_t value) {
  return {TValueKind::Integer16, value, 0.0, {}};
}
TTaggedValue TTaggedValue::Integer32(int32_t value) {
  return {TValueKind::Integer32, value, 0.0, {}};
}
TTaggedValue TTaggedValue::Single(float value) { return {TValueKind::Single, 0, value, {}}; }
TTaggedValue TTaggedValue::Double(double value) { return {TValueKind::Double, 0, value, {}}; }
TTaggedValue TTaggedValue::Currency(int64_t scaled) {
  return {TValueKind::Currency, scaled, 0.0, {}};
}
TTaggedValue TTaggedValue::DateTime(double value) { return {TValueKind::DateTime, 0, value, {}}; }
TTaggedValue TTaggedValue::String(std::string_view value) {
  return {TValueKind::String, 0, 0.0, std::string(value)};
}

bool TTaggedValue::IsFloat() const {
  return Kind == TValueKind::Single || Kind == TValueKind::Double || Kind == TValueKind::DateTime;
}

double TTaggedValue::AsNumber() const {
  if (IsFloat()) return Float;
  if (Kind == TValueKind::Currency) return static_cast<double>(Integer) / kCurrencyScale;
  return static_cast<double>(Integer);
}

bool SameValue(const TTaggedValue& a, const TTaggedValue& b) {
  if (a.IsNumber() != b.IsNumber()) return false;
  if (!a.IsNumber()) return a.Text == b.Text;
  // Integers compare exactly, without a detour through floating point.
  bool exactA = !a.IsFloat() && a.Kind != TValueKind::Currency;
  bool exactB = !b.IsFloat() && b.Kind != TValueKind::Currency;
  if (exactA && exactB) return a.Integer == b.Integer;
  return a.AsNumber() == b.AsNumber();
}

int64_t FitInteger(TValueKind kind, int32_t stored) {
  switch (kind) {
    case TValueKind::Boolean: return stored != 0 ? 1 : 0;
    case TValueKind::Integer8: return static_cast<uint8_t>(stored);
    case TValueKind::Integer16: return static_cast<int16_t>(stored);
    default: return stored;
  }
}

std::string InvalidTypeText(std::string_view valueName) {
  return Fill(mainform::kInvalidType, valueName);
}

std::string ValueOutOfRangeText(std::string_view valueName) {
  return Fill(mainform::kValueOutOfRange, valueName);
}

std::string KeepEntryRefusedText(std::string_view entry) {
  return Fill(mainform::kKeepEntryRefused, entry);
}

std::string GetDataFailedText(std::string_view valueName) {
  return Fill(mainform::kGetDataFailed, valueName);
}

std::string SetDataFailedText(std::string_view valueName) {
  return Fill(mainform::kSetDataFailed, valueName);
}

std::string OpenKeyFailedText(std::string_view keyPath, long errorCode) {
  return Fill(mainform::kOpenKeyFailed, keyPath) + " (" + std::to_string(errorCode) + ")";
}

}  // namespace pur
