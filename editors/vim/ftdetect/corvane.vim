" Corvane scene scripts: files ending in .corvane, and any file whose first line is a comment
" that starts with the word corvane ("# corvane", "# corvane: a turning box"), so that scripts
" kept as .txt can say what they are. The marker overrides the plain-text type that .txt gets.
au BufNewFile,BufRead *.corvane setfiletype corvane
au BufRead * if &ft !=# 'corvane' && getline(1) =~# '^#\s*corvane\%(\s\|:\|$\)' | set ft=corvane | endif
