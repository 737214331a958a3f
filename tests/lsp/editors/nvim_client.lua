-- Neovim's own client drives partsc --lsp through the set-up of the editors
-- page ($PARTSC_SNIPPET, loaded before this file): the diagnostics of a
-- source with three mistakes, a hover, gd, gr, a completion list, one server
-- per library however often the filetype is set, and the filetype of new
-- files. Writes what it received, one line per fact, to $PARTSC_OUT.
local out = {}
local function say(line) table.insert(out, line) end
local function finish(code)
  local file = io.open(os.getenv('PARTSC_OUT'), 'w')
  file:write(table.concat(out, '\n') .. '\n')
  file:close()
  vim.cmd(code == 0 and 'qall!' or 'cquit! ' .. code)
end
-- The clients started, whether or not their server has answered yet.
local function servers()
  local count = 0
  for id = 1, 20 do
    if vim.lsp.get_client_by_id(id) then count = count + 1 end
  end
  return count
end

local ok, problem = pcall(function()
  vim.cmd('edit ' .. vim.fn.fnameescape(os.getenv('PARTSC_SOURCE')))
  say('filetype ' .. vim.bo.filetype)
  say('syntax ' .. (vim.b.current_syntax or 'none'))
  if not vim.wait(20000, function() return #vim.diagnostic.get(0) >= 3 end, 20) then
    error('no diagnostics within 20 s')
  end
  local diagnostics = vim.diagnostic.get(0)
  table.sort(diagnostics, function(a, b) return a.lnum < b.lnum end)
  for _, d in ipairs(diagnostics) do
    say(string.format('diagnostic %d:%d %s %s: %s', d.lnum + 1, d.col + 1,
      vim.diagnostic.severity[d.severity], d.code or '', d.message))
  end
  local client = vim.lsp.buf_get_clients(0)[next(vim.lsp.buf_get_clients(0))]

  -- Hover on the macro {PITCH} of line 7, and on the undefined {COARSE}
  -- of line 8 (the diagnostic's explanation comes first).
  for _, line in ipairs({ 7, 8 }) do
    vim.api.nvim_win_set_cursor(0, { line, 9 })
    local hover = vim.lsp.buf_request_sync(0, 'textDocument/hover',
      vim.lsp.util.make_position_params(), 10000)
    local value = hover and hover[client.id] and hover[client.id].result
      and hover[client.id].result.contents.value or 'none'
    say(string.format('hover %d: %s', line, (value:gsub('\n.*', ''))))
  end

  -- The keys of the page: gd on {PITCH} goes to its definition, gr lists
  -- its uses.
  vim.api.nvim_win_set_cursor(0, { 7, 9 })
  vim.cmd('normal gd')
  vim.wait(10000, function() return vim.api.nvim_win_get_cursor(0)[1] ~= 7 end, 20)
  say(string.format('gd to %d:%d', vim.api.nvim_win_get_cursor(0)[1],
    vim.api.nvim_win_get_cursor(0)[2] + 1))
  vim.cmd('normal gr')
  vim.wait(10000, function() return #vim.fn.getqflist() > 0 end, 20)
  local uses = {}
  for _, item in ipairs(vim.fn.getqflist()) do
    table.insert(uses, item.lnum .. ':' .. item.col)
  end
  say('gr ' .. table.concat(uses, ' '))
  vim.cmd('cclose')

  -- One server, however often the buffer is read or its filetype set.
  vim.cmd('edit!')
  vim.cmd('set filetype=parts')
  vim.cmd('edit ' .. vim.fn.fnameescape(os.getenv('PARTSC_SOURCE') .. '2'))
  say('servers after a second source, :edit! and :set ft=parts ' .. servers())

  -- A new source in a library folder gets the filetype and a server of its
  -- library; a file that becomes a source gets them when written.
  vim.cmd('edit ' .. vim.fn.fnameescape(os.getenv('PARTSC_NEW_IN_LIBRARY')))
  say(string.format('new in library %s, servers %d', vim.bo.filetype, servers()))
  vim.cmd('edit ' .. vim.fn.fnameescape(os.getenv('PARTSC_NEW')))
  say('new ' .. (vim.bo.filetype == '' and 'none' or vim.bo.filetype))
  vim.api.nvim_buf_set_lines(0, 0, -1, false, { '$$PARTS !new!' })
  vim.cmd('silent write')
  say(string.format('new written %s, attached %d', vim.bo.filetype,
    vim.tbl_count(vim.lsp.buf_get_clients(0))))

  -- A new line "$$" at the end of the first source: the keywords are offered.
  vim.cmd('buffer ' .. vim.fn.fnameescape(os.getenv('PARTSC_SOURCE')))
  vim.api.nvim_buf_set_lines(0, -1, -1, false, { '$$' })
  local position = { line = vim.api.nvim_buf_line_count(0) - 1, character = 2 }
  local completion = vim.lsp.buf_request_sync(0, 'textDocument/completion',
    { textDocument = vim.lsp.util.make_text_document_params(), position = position }, 10000)
  local labels = {}
  for _, item in ipairs((completion[client.id].result or {}).items or {}) do
    table.insert(labels, item.label)
  end
  say('completion ' .. table.concat(labels, ' '))
end)
if not ok then
  say('error ' .. tostring(problem))
  finish(1)
else
  finish(0)
end
