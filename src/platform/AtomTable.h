#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace quietpane {

// A table of named atoms with use counts: adding a name that exists hands back its id and
// raises its count; deleting lowers the count and frees the id at zero. Ids run from 0xC000.
class AtomTable {
public:
    static constexpr uint16_t FirstAtom = 0xC000;

    // The id of the name, 0 when the table is full or the name is empty.
    uint16_t AddAtom(const std::string& name);
    // 0 when the use was given back, the id itself when it names no atom (as the system call does).
    uint16_t DeleteAtom(uint16_t id);
    // Use count of the atom, 0 when the id names none.
    int UseCount(uint16_t id) const;
    // Id of the name without adding a use, 0 when there is none.
    uint16_t FindAtom(const std::string& name) const;

private:
    struct Atom {
        std::string name;
        int uses = 0;
    };
    std::map<uint16_t, Atom> atoms_;
};

// The process-wide table.
AtomTable& GlobalAtoms();
uint16_t GlobalAddAtom(const std::string& name);
uint16_t GlobalDeleteAtom(uint16_t id);

} // namespace quietpane
