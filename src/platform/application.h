#pragma once

#include <QApplication>

namespace platform {

// The program's application object. Every event passes through notify(), so
// an exception escaping any event handler ends up here and is shown by the
// general error display instead of ending the program.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace platform
