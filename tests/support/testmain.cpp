#include "testrunner.h"

#include <QApplication>
#include <QTest>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

namespace {
std::map<std::string, std::function<QObject *()>> &registry()
{
    static std::map<std::string, std::function<QObject *()>> classes;
    return classes;
}
} // namespace

int registerTestClass(const char *name, std::function<QObject *()> make)
{
    registry()[name] = std::move(make);
    return 0;
}

int runTestClasses(int argc, char **argv)
{
    std::vector<char *> args(argv, argv + argc);
    std::string only;
    if (args.size() >= 3 && std::string(args[1]) == "-class") {
        only = args[2];
        args.erase(args.begin() + 1, args.begin() + 3);
    }
    if (registry().empty() || (!only.empty() && !registry().count(only))) {
        qWarning("no test class %s", only.empty() ? "registered" : ("named " + only).c_str());
        return 2;
    }

    int failures = 0;
    for (const auto &entry : registry()) {
        if (!only.empty() && entry.first != only)
            continue;
        std::unique_ptr<QObject> test(entry.second());
        failures += QTest::qExec(test.get(), int(args.size()), args.data());
    }
    return failures;
}

} // namespace testsupport

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    return testsupport::runTestClasses(argc, argv);
}
