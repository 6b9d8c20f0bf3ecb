#include "composition/generation_check.h"

#include "composition/option_tables.h"

namespace qvn {

GenerationProblem CheckGeneration(const GenerationRequest& request) {
    if (request.helpFile.empty() != request.helpContext.empty()) {
        return GenerationProblem::HelpFileOrContextAlone;
    }
    if (request.variableName.empty() && request.codeOption == kCodeVariableReturn) {
        return GenerationProblem::NoVariableName;
    }
    if (request.codeOption == kCodeIfThenElse && request.defaultButtonLabel == kHelpLabel) {
        return GenerationProblem::HelpButtonTested;
    }
    return GenerationProblem::None;
}

} // namespace qvn
