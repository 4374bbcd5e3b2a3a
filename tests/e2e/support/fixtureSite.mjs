// A small web site on loopback with one page of every kind a favourite can
// point at: plain pages, a redirect chain, a meta refresh, a missing page, a
// page that never answers, a download, a blank scripted page, and titles in
// ISO-8859-1 and UTF-8.
import http from 'node:http';

export const LATIN1_TITLE = 'Café Müller Größe';
export const UTF8_TITLE = 'Zürich – 東京';

function page(title, colour, extra = '') {
  return `<!DOCTYPE html><html><head><title>${title}</title></head>`
    + `<body style="margin:0;background:${colour}"><h1 style="font:bold 64px sans-serif;color:#fff;padding:40px">`
    + `${title}</h1>${extra}</body></html>`;
}

// The smallest document a PDF reader opens.
const PDF = Buffer.from('%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n'
  + '2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n'
  + '3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 200 200]>>endobj\n'
  + 'trailer<</Root 1 0 R>>\n%%EOF\n', 'latin1');

export async function startFixtureSite() {
  const hanging = new Set();
  const requests = [];
  const routes = {
    '/plain1.htm': () => ({ type: 'text/html', body: page('Plain One', '#1565c0') }),
    '/plain2.htm': () => ({ type: 'text/html', body: page('Plain Two', '#2e7d32') }),
    '/plain3.htm': () => ({ type: 'text/html', body: page('Plain Three', '#6a1b9a') }),
    '/landing.htm': () => ({ type: 'text/html', body: page('Landing Page', '#ef6c00') }),
    '/meta-target.htm': () => ({ type: 'text/html', body: page('Meta Target', '#00838f') }),
    '/suggested.htm': () => ({ type: 'text/html', body: page('Suggested Site', '#ad1457') }),
    '/added.htm': () => ({ type: 'text/html', body: page('Added Later', '#4e342e') }),
    '/slow.htm': () => ({ type: 'text/html', body: page('Slow Page', '#37474f'), delay: 1500 }),
    '/meta.htm': () => ({
      type: 'text/html',
      body: '<html><head><title>Moving</title><meta http-equiv="refresh" content="0; url=/meta-target.htm"></head>'
        + '<body>moved</body></html>',
    }),
    '/blank.htm': () => ({
      type: 'text/html',
      // White, and its body only gets an empty element from the script.
      body: '<html><head><title>Blank Script</title></head><body style="background:#fff">'
        + '<script>document.body.appendChild(document.createElement("div"));</script></body></html>',
    }),
    '/latin1.htm': () => ({
      type: 'text/html; charset=iso-8859-1',
      body: Buffer.from(`<html><head><title>${LATIN1_TITLE}</title></head>`
        + `<body style="background:#c62828"><h1>${LATIN1_TITLE}</h1></body></html>`, 'latin1'),
    }),
    '/utf8.htm': () => ({
      type: 'text/html; charset=utf-8',
      body: Buffer.from(`<html><head><title>${UTF8_TITLE}</title></head>`
        + `<body style="background:#283593"><h1 style="color:#fff">${UTF8_TITLE}</h1></body></html>`, 'utf8'),
    }),
    '/manual.pdf': () => ({ type: 'application/pdf', body: PDF }),
  };
  const redirects = { '/r1': [301, '/r2'], '/r2': [302, '/landing.htm'] };

  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://fixture');
    requests.push(`${request.method} ${url.pathname}`);
    if (url.pathname === '/hang') {
      // Accepts and never writes.
      hanging.add(request.socket);
      return;
    }
    if (redirects[url.pathname]) {
      const [status, target] = redirects[url.pathname];
      response.writeHead(status, { Location: target, 'Content-Type': 'text/html' });
      response.end();
      return;
    }
    const route = routes[url.pathname];
    if (!route) {
      response.writeHead(404, { 'Content-Type': 'text/html' });
      response.end(request.method === 'HEAD' ? undefined : '<html><head><title>Not here</title></head><body>404</body></html>');
      return;
    }
    const { type, body, delay = 0 } = route();
    const bytes = Buffer.isBuffer(body) ? body : Buffer.from(body, 'utf8');
    setTimeout(() => {
      response.writeHead(200, { 'Content-Type': type, 'Content-Length': bytes.length });
      response.end(request.method === 'HEAD' ? undefined : bytes);
    }, delay);
  });
  server.on('connection', (socket) => socket.on('close', () => hanging.delete(socket)));
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  // 127.0.0.1 rather than localhost: the program treats localhost as itself.
  const base = `http://127.0.0.1:${server.address().port}`;
  return {
    base,
    url: (pathname) => base + pathname,
    requests,
    close() {
      for (const socket of hanging) socket.destroy();
      server.closeAllConnections();
      return new Promise((resolve) => server.close(resolve));
    },
  };
}
