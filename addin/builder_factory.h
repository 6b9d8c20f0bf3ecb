// Where Connect gets its builder window from. The component uses the native window; tests
// put in a fake so that Connect's logic runs without a real window.
#pragma once

#include "builder/builder_form.h"

#include <functional>
#include <memory>

namespace qvn::addin {

using BuilderFormFactory = std::function<std::unique_ptr<BuilderForm>()>;

// Creates a builder window, or returns nullptr when none can be made.
std::unique_ptr<BuilderForm> MakeBuilderForm();
// Replaces the factory; an empty function restores the native window.
void SetBuilderFormFactory(BuilderFormFactory factory);

} // namespace qvn::addin
