#include "diagnostics/catalogue.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cctype>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ov_console.h"

namespace partsc {
namespace {

using enum DiagnosticId;
using enum Severity;
using enum Form;
using enum Consequence;

// Id, name, text, severity, form, consequence, field, then meaning, example
// and fix; a row that nothing reports ends at its consequence.
constexpr std::array<CatalogueEntry, kDiagnosticCount> kEntries = {{
    {kBlank, "partsc-blank", " ", kNote, kBare, kGoesOn},
    {kApgListWriteError, "partsc-apg-list-write-error", "APG List Write Error", kError, kBare,
     kFileNotWritten, 0,
     "The view list could not be written into the parts file: the disk is full, or the file went "
     "away while it was written. The parts file is left incomplete and is not listed; the backup "
     "of an older file stays.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$END\n(compiled into a full parts directory)",
     "Make room in the parts directory (#PARTS:BIN#) and compile again."},
    {kApgNameNothing, "partsc-apg-name-nothing", "APG Name is Nothing", kWarning, kLine, kGoesOn,
     '!',
     "A view line has no APG name between exclamation marks. The line is skipped and the view "
     "stays undefined.",
     "$$PARTS !a!\n$$APG\n$TOP \"seen from above\"\n$$END",
     "Give the APG name: $TOP !A_T! \"seen from above\"."},
    {kCommonAlreadyDefined, "partsc-common-already-defined", "Common data already defined",
     kWarning, kLine, kGoesOn, 0,
     "A second $$COMMON line. It and the block after it are skipped; the first common block stays.",
     "$$PARTS !a!\n$$COMMON \"C\"\n$$COMMON \"D\"\ns <1,1>\"X\"\n$$END",
     "Keep one common block and move the member lines of the second into it."},
    {kCommonNameTooLong, "partsc-common-name-too-long", "Common size name too long (cut)", kWarning,
     kLine, kGoesOn, '\"',
     "The common size name between double quotes is longer than 32 characters; its first 32 are "
     "kept.",
     "$$PARTS !a!\n$$COMMON \"a common size name of more than 32 characters\"\n$$END",
     "Shorten the name to 32 characters."},
    {kDataWriteError, "partsc-data-write-error", "Data Write Error", kError, kBare, kFileNotWritten,
     0,
     "A member list could not be written into the parts file: the disk is full, or the file went "
     "away. The parts file is left incomplete and is not listed.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\np !D! (10)\n$$END\n(compiled into a full parts "
     "directory)",
     "Make room in the parts directory (#PARTS:BIN#) and compile again."},
    {kHeaderWriteError, "partsc-header-write-error", "Header Write Error", kError, kBare,
     kFileNotWritten, 0,
     "The header of the parts file could not be written: the disk is full, or the file went away.",
     "$$PARTS !a!\n$$END\n(compiled into a full parts directory)",
     "Make room in the parts directory (#PARTS:BIN#) and compile again."},
    {kIllegalFileDelete, "partsc-illegal-file-delete", "Illegal File Delete It", kError, kBare,
     kFileNotWritten, 0,
     "The parts file just written could not be read back, so it is removed again; the backup of an "
     "older file stays. Most often no view line was accepted: a parts file needs at least one "
     "view.",
     "$$PARTS !a!\n$$END", "Define a view in an $$APG block: $$APG, then $TOP !A_T!."},
    {kIllegalParam, "partsc-illegal-param", "Illegal param defination", kWarning, kLine,
     kSourceStops, 0,
     "A p line was refused: it has no name between exclamation marks, a name longer than six "
     "characters, a pair other than <0,0>, <1,0>, <0,1> or <1,1>, no text in parentheses where the "
     "first number of the pair is 0, or the block already holds 512 of them. The GNU, JSON and "
     "SARIF forms name which, at the column of its field. The compile of this source ends.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\np !D! <2,0>\n$$END",
     "Write p !NAME! (TEXT) <FIRST,SECOND> \"comment\" with a name of at most six characters and "
     "each number 0 or 1."},
    {kIllegalParts, "partsc-illegal-parts", "Illegal parts defination", kError, kLine,
     kSourceStops},
    {kIllegalSpec, "partsc-illegal-spec", "Illegal spec defination", kWarning, kLine, kSourceStops,
     0,
     "An s line was refused: it has no name between double quotes, a flag (the second number of "
     "its pair) other than 0 or 1, or the block already holds 256 of them. The GNU, JSON and SARIF "
     "forms name which, at the column of its field. The compile of this source ends.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\ns <1,2>\"MATERIAL\"\n$$END",
     "Write s <NUMBER,FLAG>\"NAME\" with the flag 0 or 1."},
    {kInputFileOpenError, "partsc-input-open-error", "Input File Open Error", kError, kBare,
     kSourceStops, 0,
     "A source named in the control file cannot be opened; the structured formats add the system's "
     "reason. The run goes on with the next line.",
     "(a control file line)\nnosuch.src",
     "Correct the name in the control file, or the #PARTS:INP# directory of the settings file."},
    {kEndNotFound, "partsc-end-not-found", "Keyword $$END not found", kWarning, kLine, kGoesOn, 0,
     "The source ends inside a size block without a $$END line. The block is still written; the "
     "line number is that of the last line.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\np !D! (10)", "End the source with a $$END line."},
    {kMacroNameNothing, "partsc-macro-name-nothing", "Macro Name Nothing", kWarning, kLine, kGoesOn,
     '!',
     "Every line that begins with the letter t is a macro line; this one has no name between "
     "exclamation marks and defines nothing.",
     "$$PARTS !a!\ntolerance (0.1)", "Write t !NAME! (VALUE); begin a comment with /."},
    {kMacroValueNothing, "partsc-macro-value-nothing", "Macro Value Nothing", kWarning, kLine,
     kGoesOn, '(', "A macro line has no value between parentheses and defines nothing.",
     "$$PARTS !a!\nt !PITCH!", "Write t !PITCH! (1.5)."},
    {kMemoryAllocateError, "partsc-memory-allocate-error", "Memory Allocate Error", kError, kBare,
     kSourceStops, 0,
     "partsc ran out of memory while it stored an entry; the compile or the listing of this file "
     "ends.",
     "(any source, with too little memory)", "Give partsc more memory, or split the source."},
    {kNotPartsInputFile, "partsc-not-parts-input", "Not Parts Input File", kError, kExtra,
     kSourceStops, 0,
     "The first $$ line of the source is not $$PARTS, so the file is not taken as a parts source "
     "and nothing is compiled.",
     "$$SIZE \"A\"\n$$PARTS !a!", "Put the $$PARTS line before every other $$ line."},
    {kNotPartsSetInputFile, "partsc-not-parts-set-input", "Not Parts Set Input File", kError, kLine,
     kSourceStops},
    {kParameterCharOver, "partsc-parameter-char-over", "Parameter Char Over (cut)", kWarning, kLine,
     kGoesOn},
    {kApgListAlreadyDefined, "partsc-apg-list-already-defined", "Parts apg list already defined",
     kWarning, kLine, kGoesOn, 0,
     "A second $$APG line. It and its view lines are skipped; the first block stays.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$APG\n$LEFT !L!\n$$END",
     "Keep one $$APG block with all the view lines."},
    {kPartsListWriteError, "partsc-parts-list-write-error", "Parts List Write Error", kError, kLine,
     kFileNotWritten},
    {kPartsNameAlreadyDefined, "partsc-parts-name-already-defined", "Parts name already defined",
     kWarning, kLine, kGoesOn, 0, "A second $$PARTS line is ignored; the first names the parts.",
     "$$PARTS !a!\n$$PARTS !b!\n$$END", "Keep one $$PARTS line."},
    {kPartsSetNameAlreadyDefined, "partsc-parts-set-name-already-defined",
     "Parts Set name already defined", kWarning, kLine, kGoesOn},
    {kPartsNameNotFound, "partsc-parts-name-not-found", "Parts name not found", kError, kLine,
     kSourceStops, 0,
     "The $$PARTS line has no parts name between exclamation marks; the compile of this source "
     "ends.",
     "$$PARTS \"Hex head bolts\"", "Write $$PARTS !NAME! <1,2> \"comment\"."},
    {kPartsSetNameNotFound, "partsc-parts-set-name-not-found", "Parts Set name not found", kError,
     kLine, kSourceStops},
    {kPartsNameTooLong, "partsc-parts-name-too-long", "Parts name too long (cut)", kWarning, kLine,
     kGoesOn, '!',
     "The parts name is longer than 22 characters; its first 22 are kept, and they name the parts "
     "file.",
     "$$PARTS !a_parts_name_of_more_than_22!", "Shorten the parts name to 22 characters."},
    {kPartsSetNameTooLong, "partsc-parts-set-name-too-long", "Parts Set name too long (cut)",
     kWarning, kLine, kGoesOn},
    {kPartsSpecAlreadyDefined, "partsc-spec-already-defined", "Parts spec already defined",
     kWarning, kLine, kGoesOn, 0, "A second $$SPEC line is ignored; the first stays.",
     "$$PARTS !a!\n$$SPEC <1,2>\n$$SPEC <3,4>\n$$END", "Keep one $$SPEC line."},
    {kPartsSetSpecAlreadyDefined, "partsc-parts-set-spec-already-defined",
     "Parts Set spec allredy defined", kWarning, kLine, kGoesOn},
    {kPartsTitleTooLong, "partsc-parts-title-too-long", "Parts title too long (cut)", kWarning,
     kLine, kGoesOn, '\"',
     "The comment between double quotes on the $$PARTS line is longer than 64 characters; its "
     "first 64 are kept.",
     "$$PARTS !a! \"a comment of the parts that runs on for more than sixty-four characters\"",
     "Shorten the comment to 64 characters."},
    {kPartsSetTitleTooLong, "partsc-parts-set-title-too-long", "Parts Set title too long (cut)",
     kWarning, kLine, kGoesOn},
    {kPartsNoNothing, "partsc-parts-no-nothing", "Parts No. Nothing", kWarning, kLine, kGoesOn},
    {kPartsNoNotConstant, "partsc-parts-no-not-constant", "Parts No. isn't Constant", kWarning,
     kLine, kGoesOn},
    {kSameApgName, "partsc-same-apg-name", "Same Apg Name Define", kWarning, kLine, kGoesOn, '!',
     "A view line names the APG name of another view of the block; it is skipped and its view "
     "stays undefined.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$LEFT !T!\n$$END", "Give each view its own APG name."},
    {kSizeListWriteError, "partsc-size-list-write-error", "Size list Write Error", kError, kBare,
     kFileNotWritten, 0,
     "The size list could not be written into the parts file: the disk is full, or the file went "
     "away.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\n$$END\n(compiled into a full parts directory)",
     "Make room in the parts directory (#PARTS:BIN#) and compile again."},
    {kSizeTitleTooLong, "partsc-size-title-too-long", "Size title too long (cut)", kWarning, kLine,
     kGoesOn, '!',
     "The size title between exclamation marks is longer than 32 characters; its first 32 are "
     "kept.",
     "$$SIZE \"A\" !a size title of more than 32 characters!",
     "Shorten the title to 32 characters."},
    {kSizeMemberTooMany, "partsc-size-member-too-many", "Size member too many", kWarning, kLine,
     kGoesOn, 0,
     "The source has more than 2048 $$SIZE lines: this size is not counted. Its member list is "
     "still written, but no size of the file points to it.",
     "(a source with 2049 $$SIZE lines)",
     "Split the parts into two sources (see partsc-size-dropped)."},
    {kSizeNameMultiple, "partsc-size-name-multiple", "Size name multiple define", kError, kLine,
     kSourceStops, '\"',
     "Two $$SIZE lines give the same size name; the compile of this source ends. Names are "
     "compared after the cut to 32 characters.",
     "$$PARTS !a!\n$$SIZE \"A\"\n$$SIZE \"A\"\n$$END", "Give each size its own name."},
    {kSizeNameNotFound, "partsc-size-name-not-found", "Size name not found", kError, kLine,
     kSourceStops, 0,
     "A $$SIZE line has no size name between double quotes; the compile of this source ends.",
     "$$PARTS !a!\n$$SIZE !M4 x 12!\n$$END", "Write $$SIZE \"NAME\" !TITLE!."},
    {kSizeNameTooLong, "partsc-size-name-too-long", "Size name too long (cut)", kWarning, kLine,
     kGoesOn, '\"', "The size name is longer than 32 characters; its first 32 are kept.",
     "$$SIZE \"a size name of more than 32 characters\"",
     "Shorten the size name to 32 characters."},
    {kTitleTooLong, "partsc-title-too-long", "Title string too long", kWarning, kLine, kGoesOn,
     '\"',
     "The title between double quotes on the $$TITLE line is longer than 64 characters; its first "
     "64 are kept.",
     "$$TITLE \"a title of the parts file that runs on for more than sixty-four characters\"",
     "Shorten the title to 64 characters."},
    {kUnknownViewKeyword, "partsc-unknown-view-keyword", "Unknown View Keyword (Skip)", kWarning,
     kLine, kGoesOn, 0,
     "A line of the $$APG block does not begin with a view keyword ($TOP, $BOTTOM, $FRONT, $BACK, "
     "$LEFT, $RIGHT) at its very first character; it is skipped. Empty lines count too.",
     "$$PARTS !a!\n$$APG\n TOP !T!\n$$END",
     "Begin the line with the view keyword, or with / for a comment."},
    {kUnknownViewName, "partsc-unknown-view-name", "Unknown View Name (Skip)", kWarning, kLine,
     kGoesOn},
    {kViewDataWriteError, "partsc-view-data-write-error", "View Data Write Error", kError, kLine,
     kFileNotWritten},
    {kViewNotClosed, "partsc-view-not-closed", "View Define Not Closed(not define)", kWarning,
     kLine, kGoesOn},
    {kViewMaxCountOver, "partsc-view-max-count-over", "View Max Count Over (Skip)", kWarning, kLine,
     kGoesOn},
    {kViewNameNothing, "partsc-view-name-nothing", "View Name Nothing (Skip)", kWarning, kLine,
     kGoesOn},
    {kViewNameTooLong, "partsc-view-name-too-long", "View Name Too Long (Cut)", kWarning, kLine,
     kGoesOn},
    {kViewNotExist, "partsc-view-not-exist", "View Not Exist", kWarning, kLine, kGoesOn},
    {kUnknownCommonKeyword, "partsc-unknown-common-keyword", "Unknown Common Keyword (Skip)",
     kWarning, kLine, kGoesOn, 0,
     "A line of the common block is neither a member line (s, p) nor a comment (/); it is skipped. "
     "Empty lines count too.",
     "$$PARTS !a!\n$$COMMON \"C\"\n\ns <1,1>\"X\"\n$$END", "Remove the line, or begin it with /."},
    {kUnknownSizeKeyword, "partsc-unknown-size-keyword", "Unknown Size Keyword (Skip)", kWarning,
     kBare, kGoesOn, 0,
     "A line of a size block is neither a member line (s, p) nor a comment (/); it is skipped. The "
     "error log gives it no line number.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\nM4 thin\n$$END",
     "Remove the line, or begin it with /."},
    {kViewAlreadyDefined, "partsc-view-already-defined", "$VIEW already defined", kWarning, kLine,
     kGoesOn, 0, "A second line for the same view in the $$APG block; the first stays.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$TOP !U!\n$$END", "Keep one line for each view."},
    {kControlOpen, "partsc-control-open-error", "Input Control File Open Error", kError, kBare,
     kRunStops, 0,
     "The control file cannot be opened; the run ends with 255. Its error log has been opened (and "
     "so created).",
     "partsc -c NOSUCH.CTL", "Name an existing control file, or set the #PARTS:CTL# directory."},
    {kRunLogOpen, "partsc-run-log-open-error", "Log file TALVIREN.LOG open error", kError, kBare,
     kRunStops, 0,
     "The run log TALVIREN.LOG cannot be created in the current directory; the run ends with 255.",
     "(a run in a directory without write permission)", "Run partsc in a directory it may write."},
    {kPartsFileOpen, "partsc-parts-file-open-error", "File PATH open error", kError, kBare,
     kFileNotWritten, 0,
     "The parts file cannot be created: its directory is missing or not writable, its backup could "
     "not be made, or the parts name is not a plain file name (empty, \".\", \"..\" or holding "
     "\"/\"). Nothing of this source is written.",
     "$$PARTS !a/b!\n$$END",
     "Create the parts directory (#PARTS:BIN#), or give a plain parts name."},
    {kNoControlName, "partsc-no-control-name", "No control file name", kError, kBare, kRunStops, 0,
     "No control file name was given: the answer at the prompt was empty, or standard input ended. "
     "The run ends with 255.",
     "printf '\\n' | partsc", "Type the name at the prompt, or give it with -c."},
    {kInterrupted, "partsc-interrupted", "Run interrupted by SIGNAL WHERE", kError, kBare,
     kRunStops, 0,
     "SIGTERM, SIGINT or SIGHUP ended the run at its next safe point: between two lines of a "
     "source, between two sources, or while it waited. With --atomic the parts file being "
     "written is removed and the older one kept; without, the parts file being written is "
     "incomplete and named on standard error. Parts files already done stay; the run log ends "
     "with the last whole listing. The run ends with 128 and the signal's number (143 for "
     "SIGTERM).",
     "timeout -s TERM 1 partsc -c LIBRARY.CTL",
     "Give the run the time it needs; with --atomic nothing is lost, so run it again."},
    {kSettingsFile, "partsc-settings-file", "settings file PATH:LINE: PROBLEM", kError, kBare,
     kRunStops, 0,
     "The settings file (named with -p, or the ORVA.SET the language server finds above a "
     "source) cannot be read, or a line of it cannot be taken: an unknown key, a directory that "
     "does not exist, an unknown warning. A run stops before it compiles anything and ends with "
     "255; the language server shows the problem on the first line of each source that takes "
     "the file, and compiles the source without it.",
     "#PARTS:COLOUR# = red", "Correct or remove the line the message names."},
    {kUnknownKeyword, "partsc-unknown-keyword", "Unknown keyword $$WORD (the line is skipped)",
     kWarning, kBare, kGoesOn, 0,
     "A $$ line that is no keyword ends an open block and is otherwise ignored, so what it was "
     "meant to do (a title, a common block and its member lines) silently does not happen. The "
     "keyword within two edits of it, if there is one, is named.",
     "$$PARTS !a!\n$$TITEL \"Bolts\"", "Spell the keyword: $$TITLE \"Bolts\"."},
    {kKeywordPrefix, "partsc-keyword-prefix", "WORD is read as KEYWORD", kWarning, kBare, kGoesOn,
     0,
     "A keyword is recognised by its beginning: $$SIZES is read as $$SIZE, $TOPP as $TOP; the rest "
     "of the word is ignored.",
     "$$PARTS !a!\n$$APG\n$TOPP !T!", "Write the keyword alone: $TOP !T!."},
    {kUndefinedMacro, "partsc-undefined-macro", "Macro NAME is not defined: {NAME} becomes {",
     kWarning, kBare, kGoesOn, '{',
     "A parameter text names {NAME}, but no macro of that name is defined (a member line of the "
     "common block sees only the macros above it). {NAME} becomes a single {.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\np !P! ({COARSE})\n$$END",
     "Define the macro (t !COARSE! (1.5)) or correct its name."},
    {kUnclosedField, "partsc-unclosed-field", "No closing DELIMITER for the field opened here",
     kWarning, kBare, kGoesOn, 0,
     "A field has its opening delimiter but no closing one, so the field runs to the end of the "
     "line and takes the fields after it with it.",
     "$$SIZE \"M4 !M4 x 12!", "Close the field: $$SIZE \"M4\" !M4 x 12!."},
    {kTextCut, "partsc-text-cut", "TEXT of N characters cut to LIMIT", kWarning, kBare, kGoesOn, 0,
     "A text longer than its field is cut without a message of its own: a parameter text to 64 "
     "characters (also after its macros are put in), a spec name or a parameter comment to 63, an "
     "APG name or comment to 31, a macro name or value to 64.",
     "$$APG\n$TOP !an_APG_name_of_more_than_31_characters!", "Shorten the text."},
    {kLongLine, "partsc-long-line", "Line of N characters read as K lines", kWarning, kBare,
     kGoesOn, 0,
     "A line of 79 characters or more is read in pieces of at most 79, each a line of its own: the "
     "rest of the line is read as a line by itself, and the line numbers of the error log count "
     "the pieces.",
     "/ a comment line of more than seventy-nine characters ...........................",
     "Keep every line shorter than 79 characters."},
    {kCarriageReturn, "partsc-carriage-return",
     "Carriage return at the line end, kept as part of the line", kWarning, kBare, kGoesOn, 0,
     "A line ends in a carriage return (DOS line ends). It stays part of the line: a control file "
     "line then names a file whose name ends in it. Only the first such line of a file is "
     "reported.",
     "(a control file written with DOS line ends)",
     "Convert the file to Unix line ends (dos2unix)."},
    {kPartsName, "partsc-parts-name", "Parts name \"NAME\" is not a plain file name", kWarning,
     kBare, kGoesOn, '!',
     "The parts name, which names the parts file, holds other characters than letters, digits, "
     "\".\", \"_\", \"-\" and \"+\". Often its closing ! is missing, so the rest of the line "
     "became the name.",
     "$$PARTS !bolt <1,2> \"x\"", "Close the name: $$PARTS !bolt! <1,2> \"x\"."},
    {kPartsFileTwice, "partsc-parts-file-twice", "Parts file PATH written again in this run",
     kWarning, kBare, kGoesOn, 0,
     "Two sources of one run name the same parts file: the second replaces the first, which "
     "survives only as the backup (.old or .OLD).",
     "(a control file)\nnut.src\nwasher.src\n(both with $$PARTS !nut!)",
     "Give each source its own parts name."},
    {kSizeDropped, "partsc-size-dropped",
     "Size \"NAME\" dropped: a parts file holds at most 2048 sizes", kWarning, kBare, kGoesOn, '\"',
     "A parts file holds at most 2048 sizes: this size is left out of the size list, though its "
     "member list is written.",
     "(a source with 2049 $$SIZE lines)", "Split the parts into two sources."},
    {kEmptyControl, "partsc-empty-control", "Control file names no source file", kWarning, kBare,
     kGoesOn, 0,
     "The control file holds no line that names a source: it is empty, or every line is empty or "
     "a comment (a line that begins with /). The run compiles nothing; with --strict it fails.",
     "(an empty control file)", "List the sources in the control file, one name a line."},
    {kCommentNamesFile, "partsc-comment-names-file",
     "Comment line /PATH names an existing file, which is not compiled", kWarning, kBare, kGoesOn,
     0,
     "A line of the control file that begins with / is a comment, also when it is the absolute "
     "path of a source that exists: nothing is compiled from it. A source is named relative to "
     "the #PARTS:INP# directory.",
     "(a control file line)\n/lib/src/pin.src",
     "Name the source relative to #PARTS:INP# (pin.src, with #PARTS:INP# = /lib/src)."},
    {kCommonNameDropped, "partsc-common-name-dropped",
     "Common size name \"NAME\" dropped: a parts file with sizes keeps only its title", kWarning,
     kBare, kGoesOn, '"',
     "The name of a $$COMMON block is kept only in a parts file without sizes, where it takes the "
     "place of the title. A parts file with sizes keeps its $$TITLE there, and the common name is "
     "lost: the listing and --decompile show $$COMMON without it. The member lines of the block "
     "are kept.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$COMMON \"M-series\"\ns <1,1>\"X\"\n$$SIZE \"A\"\n$$END",
     "Leave the name out ($$COMMON), or make it part of the $$TITLE."},
    {kAfterEnd, "partsc-after-end", "LINE after $$END is not read", kWarning, kBare, kGoesOn, 0,
     "Nothing after the first $$END line is read: keyword lines, blocks, member lines and macro "
     "lines there have no effect. The first line there that begins with $, s, p or t is reported; "
     "notes in other words are left alone.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$END\n$$COMMON \"C\"\ns <1,1>\"X\"",
     "Move the lines above the $$END line, or remove them."},
    {kNoPartsLine, "partsc-no-parts-line",
     "Source PATH has no $$PARTS line: it names no parts file", kWarning, kBare, kGoesOn, 0,
     "The source has no $$PARTS line: it is empty, or holds no keyword line at all, so nothing "
     "names its parts file, and the compile stops with File .../.prt open error.",
     "(an empty source)", "Begin the source with $$PARTS !NAME!."},
    {kSplitCharacter, "partsc-split-character", "TEXT cut to N bytes splits a UTF-8 character",
     kWarning, kBare, kGoesOn, 0,
     "A text longer than its field is cut after a number of bytes, not characters. Here the cut "
     "falls inside a character of several bytes (an accented letter, say): the parts file keeps "
     "only its first bytes, which are no character at all.",
     "$$TITLE \"(63 letters, then an accented letter of two bytes)\"",
     "Shorten the text so that it ends before the cut."},
    {kMemberOutsideBlock, "partsc-member-outside-block",
     "Member line outside a common or size block is not read", kWarning, kBare, kGoesOn, 0,
     "A member line (s or p) counts only inside the first $$COMMON block or a $$SIZE block. "
     "Before them, after another keyword line ($$APG's block ends at the next keyword, as does "
     "every block), or in a second $$COMMON block, it is dropped without a word.",
     "$$PARTS !a!\n$$APG\n$TOP !T!\n$$TITLE \"Bolts\"\np !L! (10)\n$$SIZE \"A\"\n$$END",
     "Move the line into the block it belongs to: after $$COMMON or its $$SIZE line."},
}};

constexpr std::string_view kPrefix = "partsc-";

// Each entry stands at the place of its id.
constexpr bool InIdOrder() {
  size_t place = 0;
  return std::ranges::all_of(kEntries, [&place](const CatalogueEntry& entry) {
    return static_cast<size_t>(entry.id) == place++;
  });
}
static_assert(InIdOrder(), "the catalogue lists its entries in the order of their ids");

constexpr std::array<std::string_view, kMessageCount> TableTexts() {
  std::array<std::string_view, kMessageCount> texts{};
  std::ranges::transform(std::span(kEntries).first<kMessageCount>(), texts.begin(),
                         &CatalogueEntry::text);
  return texts;
}

}  // namespace

const std::array<std::string_view, kMessageCount> MessageTable = TableTexts();

std::string_view SeverityLabel(Severity severity) {
  return severity == kError ? "E" : severity == kWarning ? "W" : " ";
}

std::string MessageText(DiagnosticId id, std::string_view argument) {
  // The one made text of the view list: the view keyword, then the rest of
  // the pattern.
  if (id == kViewAlreadyDefined) {
    return std::string(argument) + " already defined";
  }
  return std::string(CatalogueOf(id).text);
}

std::span<const CatalogueEntry> Catalogue() {
  return kEntries;
}

const CatalogueEntry& CatalogueOf(DiagnosticId id) {
  const auto index = static_cast<size_t>(id);
  assert(index < kEntries.size() && "an id of the catalogue");
  return kEntries[index < kEntries.size() ? index : 0];
}

const CatalogueEntry* FindCatalogueEntry(std::string_view name) {
  const auto found = std::ranges::find_if(kEntries, [name](const CatalogueEntry& entry) {
    return entry.name == name || entry.name.substr(kPrefix.size()) == name;
  });
  return found == kEntries.end() ? nullptr : &*found;
}

std::optional<Warning> FindWarning(std::string_view name) {
  for (int i = 0; i < kWarningCount; ++i) {
    if (CatalogueOf(WarningId(static_cast<Warning>(i))).name.substr(kPrefix.size()) == name) {
      return static_cast<Warning>(i);
    }
  }
  return std::nullopt;
}

namespace {

constexpr size_t kExplainWidth = 76;

// `text` as lines of at most kExplainWidth characters, broken at blanks.
std::string Wrapped(std::string_view text) {
  std::string out;
  size_t lineStart = 0;
  while (text.size() - lineStart > kExplainWidth) {
    size_t cut = text.rfind(' ', lineStart + kExplainWidth);
    cut = cut == std::string_view::npos || cut <= lineStart ? lineStart + kExplainWidth : cut;
    out.append(text.substr(lineStart, cut - lineStart)).append("\n");
    lineStart = cut + (cut < text.size() && text[cut] == ' ' ? 1 : 0);
  }
  return out.append(text.substr(lineStart)).append("\n");
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::ranges::transform(lower, lower.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The words of the made texts that stand for what a report puts in
// ("Macro NAME is not defined"); the run log's name, too, may be another.
constexpr std::array<std::string_view, 14> kPlaceholders = {
    "TALVIREN.LOG", "DELIMITER", "KEYWORD", "SIGNAL", "LIMIT", "WHERE", "WORD",
    "NAME",         "TEXT",      "PATH",    "LINE",   "VIEW",  "N",     "K"};

// The placeholder that begins at `at` of `text` as a word of its own; empty
// when none does.
std::string_view PlaceholderAt(std::string_view text, size_t at) {
  if (at > 0 && IsLetter(text[at - 1])) {
    return {};
  }
  for (const std::string_view word : kPlaceholders) {
    const size_t end = at + word.size();
    if (text.substr(at, word.size()) == word && (end == text.size() || !IsLetter(text[end]))) {
      return word;
    }
  }
  return {};
}

// The text of an entry as a pattern, lower case, each placeholder a "*".
std::string TextPattern(std::string_view text) {
  std::string pattern;
  for (size_t at = 0; at < text.size();) {
    const std::string_view word = PlaceholderAt(text, at);
    pattern += word.empty() ? text[at] : '*';
    at += word.empty() ? 1 : word.size();
  }
  return Lower(pattern);
}

// Whether `text` is an instance of `pattern`, whose "*" stand for any text.
bool Matches(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) {
    return text.empty();
  }
  if (pattern.front() == '*') {
    for (size_t skip = 0; skip <= text.size(); ++skip) {
      if (Matches(pattern.substr(1), text.substr(skip))) {
        return true;
      }
    }
    return false;
  }
  return !text.empty() && pattern.front() == text.front() &&
         Matches(pattern.substr(1), text.substr(1));
}

// A message as the console, the error log or a structured line shows it,
// without the error log's "*** W *** " and its "[19]" after the text.
std::string_view MessageOf(std::string_view query) {
  query.remove_prefix(std::min(query.find_first_not_of(" \t\r\n"), query.size()));
  if (query.starts_with("***")) {
    const size_t second = query.find("*** ", 3);
    query = second == std::string_view::npos ? query : query.substr(second + 4);
  }
  query = query.substr(0, query.find_last_not_of(" \t\r\n") + 1);
  if (query.ends_with("]")) {
    query = query.substr(0, query.rfind('['));
  }
  return query;
}

// The stable name a pasted line carries ("... [partsc-illegal-param]",
// "\"name\":\"partsc-illegal-param\""), or null.
const CatalogueEntry* NamedIn(std::string_view query) {
  for (size_t at = query.find(kPrefix); at != std::string_view::npos;
       at = query.find(kPrefix, at + 1)) {
    const size_t end =
        query.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-", at + kPrefix.size());
    const CatalogueEntry* entry = FindCatalogueEntry(query.substr(at, end - at));
    if (entry != nullptr && entry->Reported()) {
      return entry;
    }
  }
  return nullptr;
}

// The explanation of an entry as --explain prints it: "NAME: TEXT", a blank
// line, what it means, "Example:" with the source, and "Fix:" with what to
// do, wrapped at 76 characters.
std::string ExplanationText(const CatalogueEntry& entry) {
  return std::string(entry.name) + ": " + std::string(entry.text) + "\n\n" +
         Wrapped(entry.meaning) + "\nExample:\n" + std::string(entry.example) +
         "\n\nFix: " + Wrapped(entry.fix);
}

}  // namespace

int EditDistance(std::string_view from, std::string_view to, bool swaps) {
  const size_t n = from.size();
  const size_t m = to.size();
  std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
  for (size_t i = 0; i <= n; ++i) {
    for (size_t j = 0; j <= m; ++j) {
      if (i == 0 || j == 0) {
        d[i][j] = static_cast<int>(i + j);  // all insertions, or all removals
        continue;
      }
      const int change = from[i - 1] == to[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (swaps && i > 1 && j > 1 && from[i - 1] == to[j - 2] && from[i - 2] == to[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[n][m];
}

std::vector<const CatalogueEntry*> FindExplained(std::string_view query) {
  const std::string_view message = MessageOf(query);
  if (const CatalogueEntry* entry = FindCatalogueEntry(message); entry != nullptr) {
    return entry->Reported() ? std::vector<const CatalogueEntry*>{entry}
                             : std::vector<const CatalogueEntry*>{};
  }
  if (const CatalogueEntry* entry = NamedIn(query); entry != nullptr) {
    return {entry};
  }
  const std::string lower = Lower(message);
  std::vector<const CatalogueEntry*> said;
  std::vector<const CatalogueEntry*> pieces;
  for (const CatalogueEntry& entry : kEntries) {
    if (!entry.Reported() || lower.empty()) {
      continue;
    }
    // The message as reported, perhaps with more after it ("...; did you
    // mean $$TITLE?"), or a piece of its text.
    if (Matches(TextPattern(entry.text) + "*", lower)) {
      said.push_back(&entry);
    } else if (Lower(entry.text).find(lower) != std::string::npos) {
      pieces.push_back(&entry);
    }
  }
  return said.empty() ? pieces : said;
}

std::vector<const CatalogueEntry*> NearestEntries(std::string_view query, size_t count) {
  const std::string lower = Lower(MessageOf(query));
  std::vector<std::pair<int, const CatalogueEntry*>> ranked;
  for (const CatalogueEntry& entry : kEntries) {
    if (!entry.Reported()) {
      continue;
    }
    const int byName = EditDistance(lower, entry.name.substr(kPrefix.size()), false);
    const int byText = EditDistance(lower, Lower(entry.text), false);
    ranked.emplace_back(std::min(byName, byText), &entry);
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  ranked.resize(std::min(count, ranked.size()));
  std::vector<const CatalogueEntry*> nearest(ranked.size());
  std::ranges::transform(ranked, nearest.begin(), [](const auto& rank) { return rank.second; });
  return nearest;
}

int ExplainDiagnostic(OvConsole& console, std::string_view name) {
  if (name == "all") {
    for (const CatalogueEntry& entry : kEntries) {
      if (entry.Reported()) {
        dbgprint(console, kConsoleEcho, "%s\n", ExplanationText(entry).c_str());
      }
    }
    return 0;
  }
  const std::vector<const CatalogueEntry*> found = FindExplained(name);
  if (found.empty()) {
    Complain(console, "no diagnostic is named or says '" + std::string(name) + "'");
    std::string nearest;
    for (const CatalogueEntry* entry : NearestEntries(name, 3)) {
      nearest += std::string(nearest.empty() ? "" : ", ") + std::string(entry->name) + " (" +
                 std::string(entry->text) + ")";
    }
    Complain(console, "the nearest: " + nearest + "; --explain all explains every one");
    return 1;
  }
  for (size_t i = 0; i < found.size(); ++i) {
    dbgprint(console, kConsoleEcho, "%s%s", i > 0 ? "\n" : "", ExplanationText(*found[i]).c_str());
  }
  return 0;
}

static_assert(static_cast<int>(kViewAlreadyDefined) == kMessageCount, "the table rows come first");

}  // namespace partsc
