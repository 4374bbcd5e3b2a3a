// A small file server for a data folder, on a free loopback port, standing in
// for the program's own server. Records the forms posted to it.
import http from 'node:http';
import { readFile } from 'node:fs/promises';
import path from 'node:path';

const TYPES = {
  '.htm': 'text/html',
  '.html': 'text/html',
  '.bmp': 'image/bmp',
  '.jpg': 'image/jpeg',
  '.xml': 'text/xml',
};

export async function startStaticServer(root) {
  const posts = [];
  const server = http.createServer(async (request, response) => {
    try {
      const url = new URL(request.url, 'http://localhost');
      if (request.method === 'POST') {
        const chunks = [];
        for await (const chunk of request) chunks.push(chunk);
        posts.push({ path: url.pathname, body: Buffer.concat(chunks).toString('latin1') });
        response.writeHead(200, { 'Content-Type': 'text/html' });
        response.end('<html><body>recorded</body></html>');
        return;
      }
      const relative = decodeURIComponent(url.pathname).replace(/^\/+/, '') || 'viewer.htm';
      const file = path.resolve(root, relative);
      if (!file.startsWith(path.resolve(root) + path.sep)) throw Object.assign(new Error('outside'), { code: 'ENOENT' });
      const body = await readFile(file);
      response.writeHead(200, {
        'Content-Type': TYPES[path.extname(file).toLowerCase()] || 'application/octet-stream',
        'Content-Length': body.length,
      });
      response.end(body);
    } catch (error) {
      response.writeHead(error.code === 'ENOENT' || error.code === 'EISDIR' ? 404 : 500);
      response.end();
    }
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    port: server.address().port,
    posts,
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}
