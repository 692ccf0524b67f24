#pragma once

#include "spreadsheet/libreoffice.h"
#include "spreadsheet/uno_runtime.h"

#include <com/sun/star/frame/XDesktop2.hpp>

namespace spreadsheet::uno {

// The link to one office process over a named pipe: attaches to the office
// that answers on the pipe, or starts one and waits until it answers; notices
// when the office has gone and starts a fresh one on the next use.
class OfficeConnection {
public:
    explicit OfficeConnection(OfficeOptions options);

    // Makes sure an office answers; returns its desktop.
    Reference<css::frame::XDesktop2> desktop();
    Reference<css::uno::XComponentContext> remoteContext();
    bool isConnected() const { return desktop_.is(); }
    // Counts the connections made; a change tells that documents from before
    // belong to an office that is gone.
    int generation() const { return generation_; }
    void disconnect();

    qint64 startedProcessId() const { return startedPid_; }
    const OfficeOptions& options() const { return options_; }

private:
    bool answers();
    bool tryResolve();
    void startOffice();
    QString officeProgram() const;

    OfficeOptions options_;
    Reference<css::uno::XComponentContext> remote_;
    Reference<css::frame::XDesktop2> desktop_;
    int generation_ = 0;
    qint64 startedPid_ = 0;
};

} // namespace spreadsheet::uno
