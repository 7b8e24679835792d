// Commands that change what the window shows and how: views, zoom, term, the title
// columns, non-school days, the sorts and random student IDs.
#pragma once

#include <cstdint>

void DoShowGradebook();
void DoShowAttendance();
void DoZoom(int16_t zoom);
void DoShowID();
void DoShowName();
void DoShowNameAndID();
void DoHideHolidays();
void DoTermCmd(int16_t term);
void DoSortByIDCmd();
void DoSortByNameCmd();
void DoSortByGradeCmd();
void DoSortByDateCmd();
void DoSortByAssignCmd();
void DoSortByCategoryCmd();
void DoGenerateRandomIDs();
// Offers to move to the term that holds today.
void CheckCurrentTerm();
