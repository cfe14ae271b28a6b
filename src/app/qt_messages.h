#pragma once
// Message boxes for the computation's notices and questions.
#include <QString>

#include "platform/feedback.h"

class QWidget;

namespace quor::app {

// The program's title, which message boxes without a caption of their
// own carry.
inline constexpr const char* kProgramTitle = "Quor";

class QtMessages final : public platform::Messages {
public:
    explicit QtMessages(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void message(const std::string& text, platform::MessageIcon icon = platform::MessageIcon::None,
                 const std::string& title = {}) override;
    bool question(const std::string& text, const std::string& title = {}) override;

private:
    QWidget* parent_;
};

}  // namespace quor::app
