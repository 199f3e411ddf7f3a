// Corvane for VS Code. The grammar, the comment and bracket rules and the $corvane problem
// matcher are declared in package.json; this starts corvane-lsp, the language server, for
// Corvane documents, and gives the Corvane language to a plain-text file whose first line is the
// "# corvane" marker (VS Code decides by the extension first, and takes .txt for plain text).
'use strict';
const vscode = require('vscode');

let client;

function claimMarkedText(document, marker) {
  if (document.languageId === 'plaintext' && document.lineCount > 0 &&
      marker.test(document.lineAt(0).text)) {
    vscode.languages.setTextDocumentLanguage(document, 'corvane');
  }
}

// The client library comes from npm: present in the packaged .vsix, missing in a copy of the
// repository's folder before `npm install`. Without it the colours still work.
function clientLibrary() {
  try {
    return require('vscode-languageclient/node');
  } catch (error) {
    vscode.window.showWarningMessage('Corvane: vscode-languageclient is not installed, so ' +
        'corvane-lsp is not started. Install the packaged extension (scripts/package-vscode), ' +
        'or run npm install in the extension\'s folder.');
    return undefined;
  }
}

async function activate(context) {
  // The marker is the one package.json gives VS Code, so the two cannot differ.
  const marker = new RegExp(context.extension.packageJSON.contributes.languages[0].firstLine);
  vscode.workspace.textDocuments.forEach((document) => claimMarkedText(document, marker));
  context.subscriptions.push(vscode.workspace.onDidOpenTextDocument(
      (document) => claimMarkedText(document, marker)));

  const library = clientLibrary();
  if (!library) return;
  const command = vscode.workspace.getConfiguration('corvane').get('server.path') || 'corvane-lsp';
  client = new library.LanguageClient('corvane', 'Corvane language server',
      { command, transport: library.TransportKind.stdio },
      { documentSelector: [{ language: 'corvane' }] });
  await client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
