#pragma once

#include <QLabel>
#include <QResizeEvent>

#include <algorithm>

// A one-line label that shows its text elided (in the middle for file names,
// at the end for descriptions) at whatever width the layout gives it, the
// whole text as its tool tip.
class TElidedLabel : public QLabel {
public:
    explicit TElidedLabel(QWidget* parent, Qt::TextElideMode mode = Qt::ElideMiddle) : QLabel(parent), mode_(mode) {}
    void SetFullText(const QString& text)
    {
        full_ = text;
        setToolTip(text);
        Elide();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        Elide();
    }

private:
    void Elide() { setText(fontMetrics().elidedText(full_, mode_, std::max(width() - 2, 40))); }
    Qt::TextElideMode mode_;
    QString full_;
};
