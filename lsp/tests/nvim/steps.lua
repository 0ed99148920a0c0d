-- Step reporting shared by the headless Neovim sessions: each step is one
-- line on stderr, and the session exits 1 when any step failed.
local M = { failures = 0 }

function M.log(msg) io.stderr:write(msg .. '\n') end

function M.check(ok, what)
  if ok then
    M.log('ok   ' .. what)
  else
    M.failures = M.failures + 1
    M.log('FAIL ' .. what)
  end
  return ok
end

-- Runs `body`, counts an error it raises as a failed step, then quits
-- Neovim with the session's status.
function M.run(body)
  local ok, err = pcall(body)
  if not ok then M.check(false, tostring(err)) end
  if M.failures == 0 then vim.cmd('qall!') else vim.cmd('cquit! 1') end
end

return M
