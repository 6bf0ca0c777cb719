#pragma once

#include <string>

namespace quietpane {

// The per-user settings store under the "Tolvar" organisation ("\Software\Tolvar\").
// Values are written at every start and never read back by the program.
class Registry {
public:
    virtual ~Registry() = default;
    // False, with nothing written, when the store can't be opened or written.
    virtual bool WriteString(const std::string& name, const std::string& value) = 0;
};

// QSettings for the organisation "Tolvar" in the user's scope (~/.config/Tolvar.conf).
class UserRegistry final : public Registry {
public:
    bool WriteString(const std::string& name, const std::string& value) override;
};

} // namespace quietpane
