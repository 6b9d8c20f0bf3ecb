// The requests the generators cannot honour, decided once for every front end: the window
// shows its own message for each, qvn-compose its own wording.
#pragma once

#include <string_view>

namespace qvn {

enum class GenerationProblem {
    None,
    HelpFileOrContextAlone, // a help file without a context number, or the other way round
    NoVariableName,         // the variable-return shape without a variable
    HelpButtonTested,       // the If shape testing the Help button, which returns nothing
};

struct GenerationRequest {
    std::string_view helpFile;
    std::string_view helpContext;
    int codeOption = 0;
    std::string_view variableName;
    std::string_view defaultButtonLabel; // the label of the default button
};

// The first problem of the request, in the order the window checks them.
GenerationProblem CheckGeneration(const GenerationRequest& request);

} // namespace qvn
