#pragma once
// One panel of the main window's status bar. It asks for room for its whole
// text (never less than its designed width); when the bar cannot give it
// that much it shows the text cut with "…" and the whole text as tooltip.
#include <QLabel>

namespace quor::app {

class StatusPanel final : public QLabel {
public:
    StatusPanel(int designWidth, QWidget* parent);

    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }
    // The width that shows the whole text inside the frame.
    int wholeTextWidth() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showFitted();
    int designWidth_;
    QString full_;
};

}  // namespace quor::app
