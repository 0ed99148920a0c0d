-- Drives vesk-lsp through Neovim's built-in LSP client, headless.
-- Run: VESK_LSP=/path/to/vesk-lsp nvim --headless --clean -u NONE -c "luafile editor_session.lua"
-- Exits 0 when every step passed, 1 otherwise (the failing step on stderr).

local bin = os.getenv('VESK_LSP')
-- steps.lua sits beside this file.
local steps = dofile(debug.getinfo(1, 'S').source:sub(2):match('(.*/)') .. 'steps.lua')
local check = steps.check

steps.run(function()
  assert(bin and #bin > 0, 'VESK_LSP is not set')
  local dir = vim.fn.tempname()
  vim.fn.mkdir(dir, 'p')
  local path = dir .. '/scene.vesk'
  vim.fn.writefile({ 'style accent {', '  fill: #6C5CE7', '}', 'rect @card {', '  fill: #12', '}' }, path)
  vim.cmd('edit ' .. path)
  local bufnr = vim.api.nvim_get_current_buf()

  local client_id = vim.lsp.start_client({
    name = 'vesk-lsp',
    cmd = { bin },
    root_dir = dir,
    flags = { debounce_text_changes = 0 },
  })
  assert(client_id, 'the client did not start')
  vim.lsp.buf_attach_client(bufnr, client_id)
  local client = vim.lsp.get_client_by_id(client_id)

  check(vim.wait(10000, function() return #vim.diagnostic.get(bufnr) > 0 end, 20),
        'a diagnostic is published for the bad colour')
  local diags = vim.diagnostic.get(bufnr)
  check(#diags == 1, 'exactly one diagnostic')
  if diags[1] then
    check(vim.startswith(diags[1].message, 'Node parse error: '), 'the diagnostic carries the node message')
    check(diags[1].severity == vim.diagnostic.severity.ERROR, 'the diagnostic is an error')
  end

  local caps = client.server_capabilities or client.resolved_capabilities
  check(caps ~= nil, 'the server announced its capabilities')

  local uri = vim.uri_from_bufnr(bufnr)
  local hover = client.request_sync('textDocument/hover',
    { textDocument = { uri = uri }, position = { line = 3, character = 1 } }, 5000, bufnr)
  check(hover and hover.result and hover.result.contents and
        hover.result.contents.kind == 'markdown' and
        vim.startswith(hover.result.contents.value, '**rect**'), 'hover on "rect" gives its help text')

  local completion = client.request_sync('textDocument/completion',
    { textDocument = { uri = uri }, position = { line = 4, character = 2 } }, 5000, bufnr)
  check(completion and completion.result and #completion.result == 17, 'completion inside a block gives 17 items')

  -- Mend the colour: the diagnostic must go away.
  vim.api.nvim_buf_set_lines(bufnr, 4, 5, false, { '  fill: #123' })
  check(vim.wait(10000, function() return #vim.diagnostic.get(bufnr) == 0 end, 20),
        'the diagnostic is cleared after the edit')

  local symbols = client.request_sync('textDocument/documentSymbol', { textDocument = { uri = uri } }, 5000, bufnr)
  local names = {}
  for _, s in ipairs((symbols and symbols.result) or {}) do table.insert(names, s.name) end
  check(table.concat(names, ',') == 'style accent,rect @card', 'document symbols: ' .. table.concat(names, ','))

  hover = client.request_sync('textDocument/hover',
    { textDocument = { uri = uri }, position = { line = 3, character = 7 } }, 5000, bufnr)
  check(hover and hover.result and hover.result.contents.value == '**Rect** — 100×100',
        'hover on "@card" summarises the node')

  vim.lsp.stop_client(client_id)
  check(vim.wait(5000, function() return client.is_stopped() end, 20), 'the server stops on shutdown and exit')
end)
