#pragma once
#include <string>
#include <vector>

// A settings file as the tests give it to the launcher or expect it back,
// written in the order of the calls:
//   SettingsText().CheminExe("C:\\Condor3").Alerte("1").Text()
//   -> "[CONDOR 3]\r\nCheminExe=C:\\Condor3\r\n[LAUNCHER]\r\nAlerte=1\r\n"
// A key goes into its section, opened at the end when it is not the last.
class SettingsText {
public:
    SettingsText& Section(const std::string& name);
    // A key of the last section opened.
    SettingsText& Key(const std::string& key, const std::string& value);

    // [CONDOR 3] and [LAUNCHER], the launcher's own.
    SettingsText& CheminExe(const std::string& folder) { return In("CONDOR 3").Key("CheminExe", folder); }
    SettingsText& Alerte(const std::string& value) { return In("LAUNCHER").Key("Alerte", value); }
    SettingsText& AutoConnect(const std::string& value) { return In("LAUNCHER").Key("AutoConnect", value); }
    SettingsText& Update(const std::string& value) { return In("LAUNCHER").Key("Update", value); }
    // Opens [LAUNCHER] with no key in it yet.
    SettingsText& Launcher() { return In("LAUNCHER"); }

    // Lines ended by "\r\n".
    const std::string& Text() const { return text_; }
    // The lines without their ends, as the tests read the file back.
    std::vector<std::string> Lines() const;

private:
    SettingsText& In(const std::string& section);

    std::string text_;
    std::string section_;
    bool opened_ = false;
};
