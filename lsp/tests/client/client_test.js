// Drives vesk-lsp with Microsoft's LSP client library through a whole session.
// Usage: node client_test.js /path/to/vesk-lsp
'use strict';

const { spawn } = require('child_process');
const path = require('path');

let rpc;
try {
  rpc = require('vscode-languageserver-protocol/node');
} catch (e) {
  console.log('skipped: vscode-languageserver-protocol is not installed (run tools/install-deps)');
  process.exit(77);
}

const binary = process.argv[2];
const uri = 'file:///tmp/client/scene.vesk';
const good = 'group @card {\n  rect @photo { w: 320 h: 180 }\n}\n';
const bad = 'group @card {\n  rect @photo { w: 320 h: 180 }\n';

let passed = 0;
let failed = 0;
function check(name, ok, detail) {
  if (ok) {
    passed++;
  } else {
    failed++;
    console.log(`FAIL ${name}${detail === undefined ? '' : ': ' + JSON.stringify(detail)}`);
  }
}

function waitFor(queue, what, ms = 10000) {
  return new Promise((resolve, reject) => {
    if (queue.items.length > 0) return resolve(queue.items.shift());
    const timer = setTimeout(() => reject(new Error(`timed out waiting for ${what}`)), ms);
    queue.waiters.push((item) => {
      clearTimeout(timer);
      resolve(item);
    });
  });
}

function makeQueue() {
  const q = { items: [], waiters: [] };
  q.push = (item) => (q.waiters.length > 0 ? q.waiters.shift()(item) : q.items.push(item));
  return q;
}

async function main() {
  const child = spawn(binary, [], { stdio: ['pipe', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (d) => (stderr += d));
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));

  const connection = rpc.createProtocolConnection(
    new rpc.StreamMessageReader(child.stdout),
    new rpc.StreamMessageWriter(child.stdin),
  );
  const diagnostics = makeQueue();
  const logs = makeQueue();
  connection.onNotification(rpc.PublishDiagnosticsNotification.type, (p) => diagnostics.push(p));
  connection.onNotification(rpc.LogMessageNotification.type, (p) => logs.push(p));
  connection.listen();

  const init = await connection.sendRequest(rpc.InitializeRequest.type, {
    processId: process.pid,
    rootUri: null,
    capabilities: {},
    workspaceFolders: null,
  });
  check('initialize capabilities', JSON.stringify(init) === JSON.stringify({
    capabilities: {
      textDocumentSync: 1,
      completionProvider: { triggerCharacters: [':', '@', '#'] },
      hoverProvider: true,
      documentSymbolProvider: true,
    },
  }), init);

  await connection.sendNotification(rpc.InitializedNotification.type, {});
  const log = await waitFor(logs, 'window/logMessage');
  check('log message', log.type === rpc.MessageType.Info && log.message === 'vesk-lsp initialized', log);

  await connection.sendNotification(rpc.DidOpenTextDocumentNotification.type, {
    textDocument: { uri, languageId: 'vesk', version: 1, text: bad },
  });
  let d = await waitFor(diagnostics, 'diagnostics after open');
  check('diagnostics uri', d.uri === uri, d);
  check('one diagnostic for a broken text', d.diagnostics.length === 1 && d.diagnostics[0].severity === 1, d);
  check('no version', !('version' in d), d);

  await connection.sendNotification(rpc.DidChangeTextDocumentNotification.type, {
    textDocument: { uri, version: 2 },
    contentChanges: [{ text: good }],
  });
  d = await waitFor(diagnostics, 'diagnostics after change');
  check('change clears diagnostics', d.diagnostics.length === 0, d);

  const completion = await connection.sendRequest(rpc.CompletionRequest.type, {
    textDocument: { uri },
    position: { line: 3, character: 0 },
  });
  check('completion is a non-empty array', Array.isArray(completion) && completion.length > 0, completion);

  const hover = await connection.sendRequest(rpc.HoverRequest.type, {
    textDocument: { uri },
    position: { line: 1, character: 9 },
  });
  check('hover is markdown', hover !== null && hover.contents.kind === 'markdown', hover);

  const symbols = await connection.sendRequest(rpc.DocumentSymbolRequest.type, { textDocument: { uri } });
  check('two symbols', Array.isArray(symbols) && symbols.length === 2, symbols);
  check('symbol locations carry the uri', symbols.every((s) => s.location.uri === uri), symbols);

  const unknown = await connection.sendRequest(rpc.HoverRequest.type, {
    textDocument: { uri: 'file:///tmp/client/other.vesk' },
    position: { line: 0, character: 0 },
  });
  check('hover on an unknown document is null', unknown === null, unknown);

  let notFound = null;
  try {
    await connection.sendRequest(rpc.DefinitionRequest.type, { textDocument: { uri }, position: { line: 0, character: 0 } });
  } catch (e) {
    notFound = e;
  }
  check('definition is not implemented', notFound !== null && notFound.code === -32601, notFound);

  const down = await connection.sendRequest(rpc.ShutdownRequest.type);
  check('shutdown answers null', down === null || down === undefined, down);
  await connection.sendNotification(rpc.ExitNotification.type);

  const code = await Promise.race([exited, new Promise((r) => setTimeout(() => r('timeout'), 10000))]);
  check('exit status 0 after shutdown', code === 0, code);
  check('nothing on stderr', stderr === '', stderr);
  connection.dispose();
}

main()
  .catch((e) => {
    failed++;
    console.log(`FAIL ${e.stack || e}`);
  })
  .finally(() => {
    console.log(`${passed} passed, ${failed} failed`);
    process.exit(failed === 0 ? 0 : 1);
  });
