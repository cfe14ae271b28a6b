#include "app/command_table.h"

namespace quor::app {

const std::vector<CommandTable::Entry>& CommandTable::entries() {
    static const std::vector<Entry> list = {
        {"NewPr_Click", "New Project"},
        {"OpenPr_Click", "Open Project"},
        {"RemPr_Click", "Remove Project"},
        {"del_Click", "Delete Project"},
        {"Savepr_Click", "Save Project"},
        {"Savepra_Click", "Save Project As"},
        {"Addbathy_Click", "Change Bathymetry Coverage"},
        {"Addshore_Click", "Change Shoreline Coverage"},
        {"addshape_Click", "Add Shapefile"},
        {"Addpointc_Click", "Add Point Coverage"},
        {"wv_property", "RWE Settings"},
        {"fm_property", "REI Settings"},
        {"Orbital_velocity_frm", "Orbital Velocity Mode"},
        {"Batch_Processing_mode", "Batch Processing Mode"},
        {"showprojection", "Projection Properties"},
        {"Tide_frm", "Water Level Adjustment"},
        {"Wind_pt", "Wind Parameter Display"},
        {"Addwind_Click", "Change Wind Data"},
        {"Windprocess", "Process IIndex File"},
        {"windanly", "Download/Create Wind Data"},
        {"About", "About Quor"},
        {"ptdatasel", "Run"},
        {"rem_ptdata", "Remove Point Dataset"},
        {"feat_no", "Number of Features"},
        {"rem_shpdata", "Remove Point File"},
        {"displaylayers", "Display of the project's layers"},
    };
    return list;
}

std::string notAvailableText(const std::string& name) {
    for (const auto& e : CommandTable::entries())
        if (name == e.name) return std::string(e.title) + " is not available yet.";
    return name + " is not available yet.";
}

void CommandTable::connect(const std::string& name, Handler handler) {
    if (handler)
        handlers_[name] = std::move(handler);
    else
        handlers_.erase(name);
}

bool CommandTable::available(const std::string& name) const { return handlers_.count(name) != 0; }

void CommandTable::run(const std::string& name, platform::Messages& messages) const {
    auto it = handlers_.find(name);
    if (it == handlers_.end()) {
        messages.message(notAvailableText(name), platform::MessageIcon::Information);
        return;
    }
    // Copied, since a command may replace the table's handlers while it runs.
    Handler h = it->second;
    h();
}

std::string CommandTable::forMenuItem(const std::string& item) {
    static const std::map<std::string, std::string> byItem = {
        {"Newpr", "NewPr_Click"},
        {"Openpr", "OpenPr_Click"},
        {"RemPr", "RemPr_Click"},
        {"del", "del_Click"},
        {"Savepr", "Savepr_Click"},
        {"Savepra", "Savepra_Click"},
        {"Addbathy", "Addbathy_Click"},
        {"Addshore", "Addshore_Click"},
        {"addshape", "addshape_Click"},
        {"Addpointc", "Addpointc_Click"},
        {"orbital", "Orbital_velocity_frm"},
        {"batch", "Batch_Processing_mode"},
        {"projprop", "showprojection"},
        {"Tide", "Tide_frm"},
        {"Addwind", "Addwind_Click"},
        {"PIIndex", "Windprocess"},
        {"Anal_wind", "windanly"},
        {"Quordel", "About"},
    };
    auto it = byItem.find(item);
    return it == byItem.end() ? std::string() : it->second;
}

std::string CommandTable::forProjectButton(const std::string& key) {
    static const std::map<std::string, std::string> byKey = {
        {"new", "NewPr_Click"},       {"open", "OpenPr_Click"},      {"save", "Savepr_Click"},
        {"delete", "RemPr_Click"},    {"bathy", "Addbathy_Click"},   {"shore", "Addshore_Click"},
        {"wind", "Addwind_Click"},    {"drawpoly", "Addpointc_Click"},
    };
    auto it = byKey.find(key);
    return it == byKey.end() ? std::string() : it->second;
}

}  // namespace quor::app
