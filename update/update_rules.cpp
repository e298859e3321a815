#include "update/update_rules.h"

#include "base/launcher_window.h"

UpdateStep AfterUpdateQuestion(Answer answer)
{
    return answer == Answer::No ? UpdateStep::Quit : UpdateStep::Download;
}
