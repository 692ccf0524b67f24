#pragma once

#include "spreadsheet/libreoffice.h"
#include "spreadsheet/office_link.h"

#include <com/sun/star/frame/XDesktop2.hpp>

#include <memory>

namespace spreadsheet::uno {

// The link to one office process over a named pipe: attaches to the office
// that answers on the pipe, or starts one and waits until it answers; notices
// when the office has gone and starts a fresh one on the next use. Every call
// into the office goes through link(), which bounds how long it may take.
class OfficeConnection {
public:
    explicit OfficeConnection(OfficeOptions options);

    // Makes sure an office answers; returns its desktop.
    Reference<css::frame::XDesktop2> desktop();
    Reference<css::uno::XComponentContext> remoteContext();
    // The desktop of the present connection while its office answers; none
    // otherwise, and no office is started for it.
    Reference<css::frame::XDesktop2> answeringDesktop();
    // The link of the present connection (desktop() makes one first).
    const std::shared_ptr<OfficeLink>& link() const { return link_; }
    bool isConnected() const { return desktop_.is() && link_ && !link_->isCut(); }
    // Counts the connections made; a change tells that documents from before
    // belong to an office that is gone.
    int generation() const { return generation_; }
    void disconnect();

    // The office this object started and is connected to; 0 when it is
    // connected to an office someone else started.
    qint64 startedProcessId() const { return startedPid_; }
    const OfficeOptions& options() const { return options_; }

private:
    bool answers();
    bool tryResolve();
    void startOffice();
    QString officeProgram() const;
    // Process id of the office listening on the pipe, 0 when unknown.
    qint64 pipeOwner() const;
    bool someoneListens() const;
    // Keeps the started process id only when that process is the office
    // that answered on the pipe (owner, 0 when it cannot be told).
    void adoptAnsweringOffice(qint64 owner);

    OfficeOptions options_;
    std::shared_ptr<OfficeLink> link_;
    Reference<css::uno::XComponentContext> remote_;
    Reference<css::frame::XDesktop2> desktop_;
    int generation_ = 0;
    qint64 startedPid_ = 0;
};

} // namespace spreadsheet::uno
