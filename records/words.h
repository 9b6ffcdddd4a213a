#ifndef RECORDS_WORDS_H
#define RECORDS_WORDS_H

// The language of a text the program makes: Shown is the language the
// window shows, Source the program's own Chinese, for what a machine reads
// (the API's replies).
enum class Words { Shown, Source };

#endif
