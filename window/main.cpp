#include <QApplication>

#include "frmQuorvane.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setOrganizationName(QStringLiteral("Plumwick"));
    quorvane::frmQuorvane window;
    window.show();
    return app.exec();
}
