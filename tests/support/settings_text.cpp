#include "tests/support/settings_text.h"

SettingsText& SettingsText::Section(const std::string& name)
{
    text_ += "[" + name + "]\r\n";
    section_ = name;
    opened_ = true;
    return *this;
}

SettingsText& SettingsText::Key(const std::string& key, const std::string& value)
{
    text_ += key + "=" + value + "\r\n";
    return *this;
}

SettingsText& SettingsText::In(const std::string& section)
{
    return opened_ && section_ == section ? *this : Section(section);
}

std::vector<std::string> SettingsText::Lines() const
{
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text_.size(); start = end + 2) {
        end = text_.find("\r\n", start);
        lines.push_back(text_.substr(start, end - start));
    }
    return lines;
}
