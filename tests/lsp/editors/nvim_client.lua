-- Neovim's own client drives partsc --lsp: the diagnostics of a source with
-- three mistakes, a hover, a completion list. Writes what it received, one
-- line per fact, to the file named by $PARTSC_OUT; the filetype and syntax
-- come from the editor files of the package.
local out = {}
local function say(line) table.insert(out, line) end
local function finish(code)
  local file = io.open(os.getenv('PARTSC_OUT'), 'w')
  file:write(table.concat(out, '\n') .. '\n')
  file:close()
  vim.cmd(code == 0 and 'qall!' or 'cquit! ' .. code)
end

local ok, problem = pcall(function()
  vim.cmd('edit ' .. vim.fn.fnameescape(os.getenv('PARTSC_SOURCE')))
  say('filetype ' .. vim.bo.filetype)
  say('syntax ' .. (vim.b.current_syntax or 'none'))

  local client = vim.lsp.start_client({
    name = 'partsc',
    cmd = { os.getenv('PARTSC'), '--lsp' },
    root_dir = vim.fn.expand('%:p:h'),
    flags = { debounce_text_changes = 0 },
  })
  vim.lsp.buf_attach_client(0, client)
  if not vim.wait(20000, function() return #vim.diagnostic.get(0) >= 3 end, 20) then
    error('no diagnostics within 20 s')
  end
  local diagnostics = vim.diagnostic.get(0)
  table.sort(diagnostics, function(a, b) return a.lnum < b.lnum end)
  for _, d in ipairs(diagnostics) do
    say(string.format('diagnostic %d:%d %s %s: %s', d.lnum + 1, d.col + 1,
      vim.diagnostic.severity[d.severity], d.code or '', d.message))
  end

  -- Hover on the macro {PITCH} of line 7, and on the undefined {COARSE}
  -- of line 8 (the diagnostic's explanation comes first).
  for _, line in ipairs({ 7, 8 }) do
    vim.api.nvim_win_set_cursor(0, { line, 9 })
    local hover = vim.lsp.buf_request_sync(0, 'textDocument/hover',
      vim.lsp.util.make_position_params(), 10000)
    local value = hover and hover[client] and hover[client].result
      and hover[client].result.contents.value or 'none'
    say(string.format('hover %d: %s', line, (value:gsub('\n.*', ''))))
  end

  -- A new line "$$" at the end: the keywords are offered.
  vim.api.nvim_buf_set_lines(0, -1, -1, false, { '$$' })
  local position = { line = vim.api.nvim_buf_line_count(0) - 1, character = 2 }
  local completion = vim.lsp.buf_request_sync(0, 'textDocument/completion',
    { textDocument = vim.lsp.util.make_text_document_params(), position = position }, 10000)
  local labels = {}
  for _, item in ipairs((completion[client].result or {}).items or {}) do
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
