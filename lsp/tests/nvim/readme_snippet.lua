-- Runs the README's Neovim set-up as a user's init.lua would, headless, with
-- vesk-lsp found on PATH: the snippet for this Neovim must set the filetype
-- and omnifunc of .vesk buffers and attach them to one vesk-lsp client.
-- Run: VESK_README=README.md PATH=dir-of-vesk-lsp:$PATH nvim --headless --clean -u NONE -c "luafile readme_snippet.lua"
-- Exits 0 when every step passed, 1 otherwise (the failing step on stderr).

-- steps.lua sits beside this file.
local steps = dofile(debug.getinfo(1, 'S').source:sub(2):match('(.*/)') .. 'steps.lua')
local check = steps.check

steps.run(function()
  local readme = os.getenv('VESK_README')
  assert(readme and vim.fn.filereadable(readme) == 1, 'VESK_README is not a readable file')
  assert(vim.fn.executable('vesk-lsp') == 1, 'vesk-lsp is not on PATH')
  local text = table.concat(vim.fn.readfile(readme), '\n')

  local current, legacy
  for block in text:gmatch('```lua\n(.-)\n```') do
    if block:find('vim.lsp.start({', 1, true) then current = block end
    if block:find('vim.lsp.start_client(', 1, true) then legacy = block end
  end
  for name, block in pairs({ ['0.8+'] = current, ['0.7'] = legacy }) do
    if check(block ~= nil, 'the README has the Neovim ' .. name .. ' snippet') then
      check(loadstring(block) ~= nil, 'the ' .. name .. ' snippet compiles')
      check(block:find('vim.bo[args.buf].omnifunc = "v:lua.vim.lsp.omnifunc"', 1, true) ~= nil,
            'the ' .. name .. ' snippet sets omnifunc')
    end
  end

  -- This Neovim runs the snippet written for it.
  local snippet = vim.lsp.start and current or legacy
  assert(snippet, 'no snippet for this Neovim')
  assert(loadstring(snippet))()

  local dir = vim.fn.tempname()
  vim.fn.mkdir(dir, 'p')
  vim.fn.writefile({ 'rect @card {', '  w: 10 h: 20', '}' }, dir .. '/a.vesk')
  vim.fn.writefile({ 'ellipse @dot { }' }, dir .. '/b.vesk')
  vim.cmd('cd ' .. vim.fn.fnameescape(dir))

  local clients = {}
  for _, name in ipairs({ 'a.vesk', 'b.vesk' }) do
    vim.cmd('edit ' .. name)
    local buf = vim.api.nvim_get_current_buf()
    check(vim.bo[buf].filetype == 'vesk', name .. ': filetype vesk')
    check(vim.bo[buf].omnifunc == 'v:lua.vim.lsp.omnifunc', name .. ': omnifunc is ' .. vim.bo[buf].omnifunc)
    local attached = vim.wait(10000, function() return next(vim.lsp.buf_get_clients(buf)) ~= nil end, 20)
    if check(attached, name .. ': a client is attached') then
      local id, client = next(vim.lsp.buf_get_clients(buf))
      check(client.name == 'vesk-lsp', name .. ': the client is vesk-lsp')
      clients[id] = true
      check(vim.wait(10000, function() return client.initialized end, 20), name .. ': the client is initialized')
      local symbols = client.request_sync('textDocument/documentSymbol',
        { textDocument = { uri = vim.uri_from_bufnr(buf) } }, 5000, buf)
      check(symbols and symbols.result and #symbols.result == 1, name .. ': the server answers document symbols')
    end
  end
  check(vim.tbl_count(clients) == 1, 'both buffers share one client')

  vim.lsp.stop_client(vim.tbl_keys(clients))
  check(vim.wait(5000, function()
    for id in pairs(clients) do
      if not vim.lsp.client_is_stopped(id) then return false end
    end
    return true
  end, 20), 'the server stops')
end)
