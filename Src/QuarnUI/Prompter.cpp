#include "Prompter.h"

#include "QtPrompter.h"

namespace {

Prompter* installed = nullptr;

} // namespace

Prompter& Prompter::Current() {
    if (installed != nullptr) {
        return *installed;
    }
    static QtPrompter standard;
    return standard;
}

void Prompter::Install(Prompter* prompter) {
    installed = prompter;
}
