#include "testrunner.h"

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

namespace {
struct TestClass
{
    const QMetaObject *meta;
    std::function<QObject *()> make;
};

std::map<std::string, TestClass> &registry()
{
    static std::map<std::string, TestClass> classes;
    return classes;
}

bool hasFunction(const QMetaObject *meta, const char *arg)
{
    const std::string name = arg;
    return meta->indexOfMethod((name.substr(0, name.find(':')) + "()").c_str()) >= 0;
}

// QtTest ends the whole run at a function name its class lacks, so a name
// goes only to the classes that have it; options and their values go to
// every class. Empty when names were given and none of them is this class's.
std::vector<char *> argsFor(const QMetaObject *meta, const std::vector<char *> &args)
{
    std::vector<char *> own{args.front()};
    bool named = false;
    for (auto arg = args.begin() + 1; arg != args.end(); ++arg) {
        const bool function = **arg != '-' && std::any_of(registry().begin(), registry().end(), [&](const auto &entry) {
            return hasFunction(entry.second.meta, *arg);
        });
        named = named || function;
        if (!function || hasFunction(meta, *arg))
            own.push_back(*arg);
    }
    const bool mine = std::any_of(own.begin() + 1, own.end(), [&](char *arg) { return *arg != '-' && hasFunction(meta, arg); });
    return named && !mine ? std::vector<char *>() : own;
}
} // namespace

int registerTestClass(const char *name, const QMetaObject *meta, std::function<QObject *()> make)
{
    registry()[name] = {meta, std::move(make)};
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
        std::vector<char *> own = argsFor(entry.second.meta, args);
        if ((!only.empty() && entry.first != only) || own.empty())
            continue;
        std::unique_ptr<QObject> test(entry.second.make());
        failures += QTest::qExec(test.get(), int(own.size()), own.data());
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
