#include "platform/AtomTable.h"

namespace quietpane {

uint16_t AtomTable::AddAtom(const std::string& name)
{
    if (name.empty()) {
        return 0;
    }
    if (const uint16_t existing = FindAtom(name); existing != 0) {
        ++atoms_[existing].uses;
        return existing;
    }
    // The lowest free id, so that ids are reused once given back.
    uint32_t id = FirstAtom;
    for (const auto& [used, atom] : atoms_) {
        if (used != id) {
            break;
        }
        ++id;
    }
    if (id > 0xFFFF) {
        return 0;
    }
    atoms_[static_cast<uint16_t>(id)] = Atom{name, 1};
    return static_cast<uint16_t>(id);
}

uint16_t AtomTable::DeleteAtom(uint16_t id)
{
    const auto found = atoms_.find(id);
    if (found == atoms_.end()) {
        return id;
    }
    if (--found->second.uses == 0) {
        atoms_.erase(found);
    }
    return 0;
}

int AtomTable::UseCount(uint16_t id) const
{
    const auto found = atoms_.find(id);
    return found == atoms_.end() ? 0 : found->second.uses;
}

uint16_t AtomTable::FindAtom(const std::string& name) const
{
    for (const auto& [id, atom] : atoms_) {
        if (atom.name == name) {
            return id;
        }
    }
    return 0;
}

AtomTable& GlobalAtoms()
{
    static AtomTable table;
    return table;
}

uint16_t GlobalAddAtom(const std::string& name)
{
    return GlobalAtoms().AddAtom(name);
}

uint16_t GlobalDeleteAtom(uint16_t id)
{
    return GlobalAtoms().DeleteAtom(id);
}

} // namespace quietpane
