#include "review/tovimar_error.h"

#include <ostream>

ErrorPtr CreateError(const ScriptPtr& script, int stepNo) {
    auto error = std::make_shared<Tovimar_Error>();
    error->Script = script;
    error->ScriptIndex = stepNo;
    return error;
}

void PrintTo(const Tovimar_Error::Entry& entry, std::ostream* os) {
    *os << "(" << entry.Number << ", \"" << entry.Description.toStdString() << "\")";
}
