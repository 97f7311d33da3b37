#include "dialogs/settings_form.h"

#include "dialogs/number_field.h"

namespace tellurix {

namespace {

const std::string* TextOf(const SettingsForm& form, const FieldTexts& texts, int control) {
  for (size_t i = 0; i < form.fields.size() && i < texts.size(); ++i) {
    if (form.fields[i].control == control) return &texts[i];
  }
  return nullptr;
}

}  // namespace

FieldTexts LoadSettings(const SettingsForm& form, const std::function<std::string(std::string_view key)>& get) {
  FieldTexts texts;
  for (const SettingsField& field : form.fields) texts.push_back(get(field.profileKey));
  return texts;
}

int ItemIndex(const SettingsField& field, std::string_view stored) {
  for (size_t i = 0; i < field.items.size(); ++i) {
    if (field.items[i] == stored) return static_cast<int>(i);
  }
  return field.otherIndex;
}

std::optional<std::string_view> CheckSettings(const SettingsForm& form, const FieldTexts& current,
                                              const std::function<bool(const std::string&)>& isFolder) {
  for (const SettingsCheck& check : form.checks) {
    const std::string* text = TextOf(form, current, check.control);
    const std::string empty;
    if (!text) text = &empty;
    if (check.kind == SettingsCheck::Kind::Folder) {
      if (!isFolder(*text)) return check.failed;
      continue;
    }
    switch (CheckNumberField(*text)) {
      case NumberVerdict::NotANumber: return check.failed;
      case NumberVerdict::NotAPositiveWholeNumber: return check.notWhole;
      case NumberVerdict::Accepted: break;
    }
  }
  return std::nullopt;
}

std::vector<FieldChange> SettingsChanges(const SettingsForm& form, const FieldTexts& loaded, const FieldTexts& current,
                                         std::string_view programDirectory) {
  std::vector<FieldChange> changes;
  for (size_t i = 0; i < form.fields.size() && i < loaded.size() && i < current.size(); ++i) {
    const SettingsField& field = form.fields[i];
    const std::string& text = current[i];
    if (text == loaded[i] || (field.skipEmpty && text.empty())) continue;
    FieldChange change{std::string(field.profileKey), text, {}};
    for (const StackTarget& target : field.targets) {
      const auto kind = target.section.empty() ? StackWrite::Kind::Directive : StackWrite::Kind::IniEntry;
      change.writes.push_back({kind, StackPath(programDirectory, target.file), std::string(target.section),
                               std::string(target.key), std::string(target.before) + text + std::string(target.after)});
    }
    changes.push_back(std::move(change));
  }
  return changes;
}

}  // namespace tellurix
