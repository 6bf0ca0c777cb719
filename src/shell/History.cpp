#include "shell/History.h"

#include <string>

namespace quietpane {

EListError::EListError(int index)
    : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")")
{
}

int THistory::IndexOf(const QString& url) const
{
    for (int i = 0; i < entries_.size(); ++i)
        if (QString::compare(entries_[i], url, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void THistory::Visit(const QString& url)
{
    addedByVisitBefore_ = addedByLastVisit_;
    addedByLastVisit_ = -1;
    const int known = IndexOf(url);
    if (known >= 0) {
        index_ = known;
        return;
    }
    if (index_ >= 0 && index_ < entries_.size() - 1)
        entries_.erase(entries_.begin() + index_ + 1, entries_.end());
    entries_.append(url);
    index_ = static_cast<int>(entries_.size()) - 1;
    addedByLastVisit_ = index_;
}

void THistory::Redirected(const QString& url)
{
    if (index_ < 0 || QString::compare(entries_[index_], url, Qt::CaseInsensitive) != 0 ||
        addedByVisitBefore_ < 0 || addedByVisitBefore_ == index_)
        return;
    entries_.removeAt(addedByVisitBefore_);
    if (addedByVisitBefore_ < index_)
        --index_;
    if (addedByLastVisit_ > addedByVisitBefore_)
        --addedByLastVisit_;
    addedByVisitBefore_ = -1;
}

const QString& THistory::At(int index) const
{
    if (index < 0 || index >= entries_.size())
        throw EListError(index);
    return entries_[index];
}

} // namespace quietpane
