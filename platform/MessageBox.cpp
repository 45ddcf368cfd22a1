#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace quorvane {

void WidgetMessageBox::show(const QString& text, const QString& title) {
    // Widgets cannot exist without a widget application; say it on the console instead
    // of aborting the program.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        qWarning("%s: %s", qUtf8Printable(title), qUtf8Printable(text));
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent_);
    box.exec();
}

}  // namespace quorvane
