#pragma once
// What a run asks of the main window while it goes on; the default does
// nothing, so that a run works headless. Both models' drivers and the
// index-file tool talk to the window through it.
#include <cstdint>
#include <string>

namespace quor::model {

class RunShell {
public:
    virtual ~RunShell() = default;
    // Every window but the main window closed, before a run takes the project.
    virtual void unloadAllForms() {}
    // Busy pointers, "Running model" in the status label, "Bathymetry on top" unticked.
    virtual void runStarted() {}
    virtual void setTitle(const std::string&) {}
    // The run has come to its site `number` (from 1) of `sites`, every site
    // before it stored; told as the title counts it.
    virtual void atSite(std::int64_t /*number*/, std::int64_t /*sites*/) {}
    // The main window's status label.
    virtual void setStatus(const std::string&) {}
    // Background runs minimise the main window for their length.
    virtual void setMinimised(bool) {}
    virtual void redraw() {}
    // The wind node of the project tree: a batch names the wind file it runs.
    virtual void showWindName(const std::string&) {}
    // For a run that never hands control back: the windows paint what
    // changed (progress, caption) while every user input waits, so that
    // nothing the run relies on can change under it.
    virtual void repaintWithoutInput() {}
    // Pointers back, status label cleared, toolbar buttons unpressed, the run button idle.
    virtual void runEnded() {}
};

}  // namespace quor::model
