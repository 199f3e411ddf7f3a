" Vim syntax file
" Language:	Corvane scene script
" Maintainer:	Corvane developers
"
" A script is a sequence of words separated by blanks, and line ends mean nothing special.
" So a keyword here is a whole blank-separated word: "Begin" does not light up inside
" "BeginList", "Box#x" is one unknown word, and "{" and "}" are words like any other. The word
" after Enable, Disable, Begin and TextureMode is read by that command wherever it stands, also
" on a later line, and is marked as an error when the command would refuse it.

if exists("b:current_syntax")
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

syn case match
syn iskeyword 33-255

" The command words, one family a line.
syn keyword corvaneCommand ViewTransform
syn keyword corvaneCommand Translate Rotate Scale TranslateIncremental RotateIncremental ScaleIncremental
syn keyword corvaneCommand LightPosition AmbientColor DiffuseColor SpecularColor Shininess
syn keyword corvaneCommand Box Sphere Cone Torus Tetrahedron Octahedron Icosahedron Dodecahedron Teapot
syn keyword corvaneCommand End Vertex Normal Color TextureCoord
syn keyword corvaneCommand EndList
syn keyword corvaneCommand UOrder VOrder UKnots VKnots ControlPoints Trim
syn keyword corvaneCommand VertexArray NormalArray ColorArray TexCoordArray Element
syn keyword corvaneCommand Transform LookAt Projection Perspective Ortho
syn keyword corvaneCommandGroup { }

" Commands that read a word, and what they accept.
syn keyword corvaneCommandState Enable Disable nextgroup=corvaneState,corvaneBadWord skipwhite skipnl skipempty
syn keyword corvaneCommandKind Begin nextgroup=corvanePrimitive,corvaneBadWord skipwhite skipnl skipempty
syn keyword corvaneCommandMode TextureMode nextgroup=corvaneMode,corvaneBadWord skipwhite skipnl skipempty
syn keyword corvaneCommandList BeginList CallList nextgroup=corvaneListName skipwhite skipnl skipempty
syn keyword corvaneCommandFile TextureImage nextgroup=corvaneFileName skipwhite skipnl skipempty

syn keyword corvaneState contained Texture Lighting DepthTest VertexArray NormalArray ColorArray TexCoordArray
syn keyword corvanePrimitive contained Points Lines Triangles TriangleStrip Quads Polygon NURBS NURBSCurve
syn keyword corvaneMode contained Modulate Replace
" Keywords win over matches at the same place, so only a word the command refuses gets here.
syn match corvaneBadWord contained "\S\+"
syn match corvaneListName contained "\S\+"
syn match corvaneFileName contained "\S\+"

" A number at the start of a word: an optional sign, digits with an optional fraction, an
" optional exponent. What follows it in the same word is read as the next word.
syn match corvaneNumber "\S\@<![-+]\=\%(\d\+\%(\.\d*\)\=\|\.\d\+\)\%([eE][-+]\=\d\+\)\="

" A word that starts with # comments out the rest of its line; a # inside a word does not.
syn match corvaneComment "\S\@<!#.*$" contains=corvaneTodo,@Spell
syn match corvaneTodo contained "\%(TODO\|FIXME\|XXX\)"

" The word a command reads may stand lines below it.
syn sync minlines=10

hi def link corvaneCommand	Statement
hi def link corvaneCommandState	Statement
hi def link corvaneCommandKind	Statement
hi def link corvaneCommandMode	Statement
hi def link corvaneCommandList	Statement
hi def link corvaneCommandFile	Statement
hi def link corvaneCommandGroup	Delimiter
hi def link corvaneState	Constant
hi def link corvanePrimitive	Constant
hi def link corvaneMode		Constant
hi def link corvaneBadWord	Error
hi def link corvaneListName	Identifier
hi def link corvaneFileName	String
hi def link corvaneNumber	Number
hi def link corvaneComment	Comment
hi def link corvaneTodo		Todo

let b:current_syntax = "corvane"

let &cpo = s:cpo_save
unlet s:cpo_save
