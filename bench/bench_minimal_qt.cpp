// The floor for start-up: a Qt Core program that does nothing but start, parse its
// arguments and print a version, built with the same flags as quorvane-count. The
// benchmark script times `quorvane-count --version` against it.
#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QCommandLineParser parser;
    parser.addVersionOption();
    parser.process(app);
    return 0;
}
