" Vim compiler file
" Compiler:	corvane-render --check, the linter for Corvane scene scripts
" Maintainer:	Corvane developers
"
" :make runs one frame of the current script offscreen and reads its messages, printed as
" FILE:LINE:COLUMN: message, into the quickfix list. Lines in any other form (no display, a
" usage error) stay in the list as plain text. The column counts bytes and a tab as one, as
" the tool does.

if exists("current_compiler")
  finish
endif
let current_compiler = "corvane"

if exists(":CompilerSet") != 2
  command -nargs=* CompilerSet setlocal <args>
endif

let s:cpo_save = &cpo
set cpo&vim

CompilerSet makeprg=corvane-render\ --check\ %:S
CompilerSet errorformat=%f:%l:%c:\ %m

let &cpo = s:cpo_save
unlet s:cpo_save
