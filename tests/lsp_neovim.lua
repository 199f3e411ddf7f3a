-- Neovim's own language client driving corvane-lsp (run by lsp_neovim_test.sh): diagnostics of
-- an edited, unsaved buffer at the lines of its mistakes, cleared when they are mended, hover,
-- completion and going to a list's definition. Failures go to standard error; the status says.
local directory = os.getenv('SCRATCH')
local failures = 0
local function check(ok, what)
  if not ok then
    failures = failures + 1
    io.stderr:write('lsp_neovim: ', what, '\n')
  end
end

vim.cmd('edit ' .. directory .. '/scene.txt')
local buffer = vim.api.nvim_get_current_buf()
local client = vim.lsp.start_client({cmd = {os.getenv('CORVANE_LSP')}, root_dir = directory, name = 'corvane'})
vim.lsp.buf_attach_client(buffer, client)
check(vim.wait(20000, function()
  local c = vim.lsp.get_client_by_id(client)
  return c ~= nil and c.initialized
end), 'the server did not initialize')

local function ask(method, line, character)
  local params = {textDocument = {uri = vim.uri_from_bufnr(buffer)}, position = {line = line, character = character}}
  local answers = vim.lsp.buf_request_sync(buffer, method, params, 10000) or {}
  return (answers[client] or {}).result
end

local function diagnostics()
  local found = {}
  for _, d in ipairs(vim.diagnostic.get(buffer)) do
    table.insert(found, string.format('%d:%d %d %s', d.lnum, d.col, d.severity, d.message))
  end
  table.sort(found)
  return table.concat(found, '\n')
end

-- Mistakes typed after line 5 and not saved: each reported at its own line.
vim.api.nvim_buf_set_lines(buffer, 5, 5, false, {'Foo 1', '  Enable Fog', 'TextureImage missing.png'})
local wanted = table.concat({
  '5:0 1 Unknown command "Foo"',
  '5:4 1 Unknown command "1"',
  '6:2 1 Invalid state "Fog" followed Enable',
  '7:13 2 Cannot read picture "missing.png" in ' .. directory .. ': there is no such file',
}, '\n')
check(vim.wait(20000, function() return diagnostics() == wanted end),
      'the unsaved buffer\'s diagnostics:\n' .. diagnostics() .. '\nwanted:\n' .. wanted)
check(vim.bo[buffer].modified, 'the buffer was saved')

-- Completion of a primitive kind after Begin.
vim.api.nvim_buf_set_lines(buffer, -1, -1, false, {'Begin Tri'})
local completion = ask('textDocument/completion', vim.api.nvim_buf_line_count(buffer) - 1, 9) or {}
local labels = {}
for _, item in ipairs(completion.items or completion) do table.insert(labels, item.label) end
check(table.concat(labels, ' ') == 'Triangles TriangleStrip', 'completion after Begin Tri: ' .. table.concat(labels, ' '))

-- Mended, still unsaved: the diagnostics are cleared.
vim.api.nvim_buf_set_lines(buffer, -2, -1, false, {})
vim.api.nvim_buf_set_lines(buffer, 5, 8, false, {})
check(vim.wait(20000, function() return diagnostics() == '' end), 'not cleared:\n' .. diagnostics())

-- Hover on Rotate, and the definition of the list that CallList calls.
local hover = ask('textDocument/hover', 2, 6)
check(hover ~= nil and hover.contents.value:find('**`Rotate`** *angle x y z*', 1, true) == 1,
      'hover on Rotate: ' .. vim.inspect(hover))
local definition = ask('textDocument/definition', 6, 10)
if definition and definition[1] then definition = definition[1] end
check(definition ~= nil and definition.range.start.line == 1 and definition.range.start.character == 10,
      'the definition of tree: ' .. vim.inspect(definition))

vim.lsp.stop_client(client)
vim.wait(5000, function() return vim.lsp.get_client_by_id(client) == nil end)
vim.cmd(failures == 0 and 'qall!' or 'cquit! 1')
