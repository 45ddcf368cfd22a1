#pragma once

#include <QString>

class QWidget;

namespace quorvane {

// Modal message boxes with a single OK button and no icon.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void show(const QString& text, const QString& title) = 0;
};

class WidgetMessageBox : public MessageBox {
public:
    explicit WidgetMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    void show(const QString& text, const QString& title) override;

private:
    QWidget* parent_;
};

}  // namespace quorvane
