#include "addin/builder_factory.h"

namespace qvn::addin {

namespace {

BuilderFormFactory& Factory() {
    static BuilderFormFactory factory;
    return factory;
}

std::unique_ptr<BuilderForm> NativeBuilderForm() {
#ifdef QVN_HAVE_NATIVE_BUILDER
    return CreateBuilderForm();
#else
    return nullptr;
#endif
}

} // namespace

std::unique_ptr<BuilderForm> MakeBuilderForm() {
    if (Factory()) {
        return Factory()();
    }
    return NativeBuilderForm();
}

void SetBuilderFormFactory(BuilderFormFactory factory) {
    Factory() = std::move(factory);
}

} // namespace qvn::addin
