// An https site on loopback with a certificate from a test CA made here with
// the openssl command line; the program is told to trust that CA through
// SSL_CERT_FILE, and nothing else is.
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import https from 'node:https';
import path from 'node:path';

export const SECURE_COLOUR = '#00695c';

function makeCertificates(folder) {
  const openssl = (...args) => execFileSync('openssl', args, { cwd: folder, stdio: ['ignore', 'ignore', 'pipe'] });
  const key = ['-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:P-256', '-nodes'];
  openssl('req', '-x509', ...key, '-keyout', 'ca.key', '-out', 'ca.pem', '-days', '30', '-subj', '/CN=Vistrel E2E CA',
    '-addext', 'basicConstraints=critical,CA:TRUE', '-addext', 'keyUsage=critical,keyCertSign,cRLSign');
  writeFileSync(path.join(folder, 'site.ext'),
    'subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n');
  openssl('req', '-new', ...key, '-keyout', 'site.key', '-out', 'site.csr', '-subj', '/CN=127.0.0.1');
  openssl('x509', '-req', '-in', 'site.csr', '-CA', 'ca.pem', '-CAkey', 'ca.key', '-CAcreateserial', '-days', '30',
    '-extfile', 'site.ext', '-out', 'site.pem');
  return {
    caFile: path.join(folder, 'ca.pem'),
    key: readFileSync(path.join(folder, 'site.key')),
    cert: readFileSync(path.join(folder, 'site.pem')),
  };
}

export async function startSecureSite(folder) {
  const { caFile, key, cert } = makeCertificates(folder);
  const body = '<!DOCTYPE html><html><head><title>Secure Page</title></head>'
    + `<body style="margin:0;background:${SECURE_COLOUR}"><h1 style="font:bold 64px sans-serif;color:#fff;padding:40px">`
    + 'Secure Page</h1></body></html>';
  const server = https.createServer({ key, cert }, (request, response) => {
    if (new URL(request.url, 'https://fixture').pathname !== '/secure.htm') {
      response.writeHead(404, { 'Content-Type': 'text/html' });
      response.end();
      return;
    }
    const bytes = Buffer.from(body, 'utf8');
    response.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8', 'Content-Length': bytes.length });
    response.end(request.method === 'HEAD' ? undefined : bytes);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const base = `https://127.0.0.1:${server.address().port}`;
  return {
    caFile,
    url: (pathname) => base + pathname,
    close() {
      server.closeAllConnections();
      return new Promise((resolve) => server.close(resolve));
    },
  };
}
