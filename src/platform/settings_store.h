#pragma once
// The per-user settings store: (application, section, key) -> text.
// Key names compare without regard to case, as the program has always
// relied on ("sea_temp" and "Sea_temp" are one value).
#include <map>
#include <memory>
#include <string>

class QSettings;

namespace quor::platform {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or the empty text when the key is missing.
    virtual std::string read(const std::string& app, const std::string& section, const std::string& key) const = 0;
    // Creates or replaces the value; a key already stored under another
    // letter case keeps its stored spelling.
    virtual void write(const std::string& app, const std::string& section, const std::string& key,
                       const std::string& value) = 0;
    // True when the key exists (even with an empty value).
    virtual bool contains(const std::string& app, const std::string& section, const std::string& key) const = 0;
};

// INI files on QSettings, one file per application name, in a folder.
// The default folder is the user's configuration location.
class IniSettingsStore final : public SettingsStore {
public:
    explicit IniSettingsStore(std::string folder = defaultFolder());
    ~IniSettingsStore() override;

    std::string read(const std::string& app, const std::string& section, const std::string& key) const override;
    void write(const std::string& app, const std::string& section, const std::string& key,
               const std::string& value) override;
    bool contains(const std::string& app, const std::string& section, const std::string& key) const override;

    // Path of the file that holds one application's settings.
    std::string filePath(const std::string& app) const;
    static std::string defaultFolder();

private:
    QSettings& settingsFor(const std::string& app) const;
    std::string folder_;
    mutable std::map<std::string, std::unique_ptr<QSettings>> files_;
};

}  // namespace quor::platform
