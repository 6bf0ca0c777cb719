#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace quietpane {

// Reading a list outside its bounds; the message names the index.
class EListError : public std::out_of_range {
public:
    explicit EListError(int index);
};

// The browser's own back/forward list: the addresses in visiting order and the current one.
// Lookups ignore letter case and take the first match.
class THistory {
public:
    const QStringList& Entries() const { return entries_; }
    // -1 before the first navigation.
    int Index() const { return index_; }

    // A navigation to url: a known address becomes current again; a new one cuts off the
    // entries after the current one and is appended.
    void Visit(const QString& url);
    int IndexOf(const QString& url) const;

    // The server redirected the navigation to url, which has just been visited: the address it
    // was redirected from is no page of its own, so the entry its visit added (if it added one)
    // leaves the list. Nothing when url is not the current entry.
    void Redirected(const QString& url);

    // The address one step back or forward; EListError when there is none.
    const QString& BackAddress() const { return At(index_ - 1); }
    const QString& ForwardAddress() const { return At(index_ + 1); }

private:
    const QString& At(int index) const;

    QStringList entries_;
    int index_ = -1;
    // The entries the last visit and the one before it added; -1 for a visit that added none.
    int addedByLastVisit_ = -1;
    int addedByVisitBefore_ = -1;
};

} // namespace quietpane
