" Vim filetype plugin for Corvane scene scripts: # comments for the formatting and commenting
" commands. Lines are not broken while typing: a command broken after a number would still
" read, but one broken inside a word would not.

if exists("b:did_ftplugin")
  finish
endif
let b:did_ftplugin = 1

setlocal comments=:# commentstring=#\ %s
setlocal formatoptions-=t formatoptions+=croql

let b:undo_ftplugin = "setlocal comments< commentstring< formatoptions<"
