#ifndef TESTS_TESTRUNNER_H
#define TESTS_TESTRUNNER_H

#include <QObject>

#include <functional>

// Each test area builds into one executable. Every test class of the area
// registers itself with OPA_TEST_CLASS in its own file; main() runs the
// classes in name order and fails when any of them fails.
//
//   tst_core                 every class of the area
//   tst_core -class tst_WireFormats  only that class (further arguments go
//                            to QtTest as usual, e.g. a test function)
//   tst_core NAME            only the classes with a test function NAME, and
//                            only that function in them
namespace testsupport {

int registerTestClass(const char *name, const QMetaObject *meta, std::function<QObject *()> make);
int runTestClasses(int argc, char **argv);

} // namespace testsupport

#define OPA_TEST_CLASS(Class)                                                   \
    static const int opa_registered_##Class =                                   \
        testsupport::registerTestClass(#Class, &Class::staticMetaObject, [] { return new Class; });

#endif
