// The e-mail dialogs: the class's mail server, each student's addresses, and the send
// dialog that starts a run (reports/email).
#pragma once

#include <cstdint>

void DoServerDialog();
void DoEmailDialog(int16_t student);
// student: a slot, or -1 for the whole class; kind: the report kind (7, 8, 9 or 11).
void DoSendEmailDialog(int16_t student, int16_t kind);
