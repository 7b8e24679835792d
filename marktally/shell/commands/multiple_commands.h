// Starting the multiple-class report from chosen class files.
#pragma once

// Closes the open class, lets the teacher choose classes, merges them and opens the
// report's window.
void DoShowMultipleClasses();
