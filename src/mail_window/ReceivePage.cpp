#include "mail_window/ReceivePage.h"

namespace quietpane {

TReceivePage::TReceivePage(const TReceivePageServices& services, QWidget* parent)
    : QWidget(parent), services_(services)
{
}

TReceivePage::~TReceivePage() = default;

void TReceivePage::bReceiveClick() {}
void TReceivePage::ListMessageHeaders(int) {}
void TReceivePage::lvHeadersClick() {}
void TReceivePage::RetrieveMail() {}
int TReceivePage::FindAttachmentIndex(const QString&) const { return -1; }
void TReceivePage::lvMessagePartsClick() {}
void TReceivePage::tDeleteClick() {}
void TReceivePage::tDisconnectClick() {}
QString TReceivePage::ShownFrom() const { return {}; }
QString TReceivePage::ShownSubject() const { return {}; }
QString TReceivePage::ShownBodyText() const { return {}; }

} // namespace quietpane
