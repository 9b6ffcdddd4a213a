#ifndef TESTS_TESTRUNNER_H
#define TESTS_TESTRUNNER_H

#include <QObject>

#include <functional>

// Each test area builds into one executable. Every test class of the area
// registers itself with OPA_TEST_CLASS in its own file; main() runs the
// classes in name order and fails when any of them fails.
//
//   tst_core                 every class of the area
//   tst_core -class Framing  only the class 'Framing' (further arguments go
//                            to QtTest as usual, e.g. a test function)
namespace testsupport {

int registerTestClass(const char *name, std::function<QObject *()> make);
int runTestClasses(int argc, char **argv);

} // namespace testsupport

#define OPA_TEST_CLASS(Class)                                                   \
    static const int opa_registered_##Class =                                   \
        testsupport::registerTestClass(#Class, [] { return new Class; });

#endif
