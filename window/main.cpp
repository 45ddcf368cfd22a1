#include <QApplication>

#include "frmQuorvane.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    quorvane::frmQuorvane window;
    window.show();
    return app.exec();
}
