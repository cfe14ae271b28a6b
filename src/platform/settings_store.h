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
    // Every application's settings in the one file `path`, however it is named.
    static std::unique_ptr<IniSettingsStore> ofFile(const std::string& path);
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
    std::string file_;  // when set, the one file of every application
    mutable std::map<std::string, std::unique_ptr<QSettings>> files_;
};

// Reads through another store (none: every key is missing) and never
// writes: what the program would write back is dropped, so that a run that
// only reads its settings leaves the user's file as it was.
class ReadOnlySettingsStore final : public SettingsStore {
public:
    explicit ReadOnlySettingsStore(const SettingsStore* base) : base_(base) {}
    std::string read(const std::string& app, const std::string& section, const std::string& key) const override {
        return base_ ? base_->read(app, section, key) : std::string();
    }
    void write(const std::string&, const std::string&, const std::string&, const std::string&) override {}
    bool contains(const std::string& app, const std::string& section, const std::string& key) const override {
        return base_ && base_->contains(app, section, key);
    }

private:
    const SettingsStore* base_;
};

}  // namespace quor::platform
