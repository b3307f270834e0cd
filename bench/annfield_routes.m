function annfield_routes(devset, gckmatch, mex_dir, kernels_limit)
  % The MATLAB-language front ends against the command line on every pair of the development set
  % (bench/devset/make_devset.py), patch width 8, one thread, in Octave:
  %   the command line's printed match time and mean RMS patch error;
  %   nnfield, and whether its field is byte for byte the command line's field.npy; nnfield at the
  %   high quality; annfield's default route (nnfield): these interleaved, the fastest of five runs
  %   each (an untimed nnfield call after each command line run, below);
  %   annfield's kernels route, k = 1 and the best of k = 4 (one run each, on pairs of at most
  %   KERNELS_LIMIT megapixels, default 1), and on the pairs of about 0.1 MP its settings: sweeps
  %   1, 2, 4 and 8, and 16 kernels.
  % Prints Markdown tables; times are ratios to the command line's, errors ratios to its error.
  % Run by scripts/bench.sh:  octave-cli --path bench --eval "annfield_routes(devset, gckmatch, mex)"
  if nargin < 4, kernels_limit = 1; end
  warning('off', 'Octave:shadowed-function');
  addpath(mex_dir, '-begin');
  addpath(fullfile(fileparts(mfilename('fullpath')), '..', 'matlab'));
  pairs = textscan(fileread(fullfile(devset, 'pairs.txt')), '%s %s %s %s', 'Delimiter', '\t');
  out = tempname();
  cleanup = onCleanup(@() remove_folder(out));
  one = struct('threads', 1);
  high = struct('threads', 1, 'quality', 'high');
  kernels = struct('method', 'kernels');
  settings = {struct('sweeps', 1), struct('sweeps', 2), struct(), struct('sweeps', 8), ...
              struct('kernels', 16)};
  printf(['| pair | MP | command line s | nnfield / command line | same field | annfield | ' ...
          'high: time, error | kernels k=1: time, error | kernels k=4 best: time, error |\n']);
  printf('|---|---|---|---|---|---|---|---|---|\n');
  sums = zeros(1, 9);
  setting_sums = zeros(numel(settings), 2);
  counted = [0, 0, 0];
  for i = 1:numel(pairs{1})
    files = fullfile(devset, {pairs{3}{i}, pairs{4}{i}});
    A = imread(files{1});
    B = imread(files{2});
    megapixels = numel(A(:, :, 1)) / 1e6;
    [cl, nn, an, hi] = deal(Inf);
    for run = 1:5
      [seconds, cl_error] = command_line(gckmatch, files, out);
      cl = min(cl, seconds);
      % Starting the command line forked this process, whose memory is then written afresh once:
      % an untimed call takes that, as a session that starts no process would never pay it.
      nnfield(A, B, one);
      tic;
      [nnf, err] = nnfield(A, B, one);
      nn = min(nn, toc);
      tic;
      annfield(A, B, one);
      an = min(an, toc);
      tic;
      [~, high_err] = nnfield(A, B, high);
      hi = min(hi, toc);
    end
    same = isequal(nnf, npy_field(fullfile(out, 'field.npy')));
    channels = max(size(A, 3), size(B, 3));
    rms = @(e) mean(double(e(:))) / sqrt(64 * channels);
    assert(abs(rms(err) - cl_error) < 1e-4, '%s: nnfield %.5f, command line %.5f', ...
           pairs{1}{i}, rms(err), cl_error);
    ratios = [nn / cl, same, an / cl, hi / cl, rms(high_err) / cl_error];
    sums(1:5) = sums(1:5) + ratios;
    counted(1) = counted(1) + 1;
    row = sprintf('| %s | %.2f | %.3f | %.2f | %s | %.2f | %.2f, %.4f |', pairs{1}{i}, megapixels, ...
                  cl, ratios(1), yes_no(same), ratios(3:5));
    if megapixels <= kernels_limit
      tic;
      [~, e1] = annfield(A, B, kernels);
      k1 = toc;
      tic;
      [~, e4] = annfield(A, B, setfield(kernels, 'k', 4));
      k4 = toc;
      ratios = [k1 / cl, rms(e1) / cl_error, k4 / cl, rms(e4(:, :, 1)) / cl_error];
      sums(6:9) = sums(6:9) + ratios;
      counted(2) = counted(2) + 1;
      row = [row, sprintf(' %.1f, %.4f | %.1f, %.4f |', ratios)];
    else
      row = [row, ' not run | not run |'];
    end
    printf('%s\n', row);
    if megapixels <= 0.12
      for s = 1:numel(settings)
        o = settings{s};
        o.method = 'kernels';
        tic;
        [~, e] = annfield(A, B, o);
        setting_sums(s, :) = setting_sums(s, :) + [toc / cl, rms(e) / cl_error];
      end
      counted(3) = counted(3) + 1;
    end
  end
  means = [sums(1:5) / counted(1), sums(6:9) / max(counted(2), 1)];
  printf(['| mean (%d pairs; kernels %d) | | | %.2f | %d of %d | %.2f | %.2f, %.4f | %.1f, %.4f | ' ...
          '%.1f, %.4f |\n'], counted(1:2), means(1), sums(2), counted(1), means(3:9));
  printf('\nKernels route on the %d pairs of about 0.1 MP, means of one run each:\n\n', counted(3));
  printf('| setting | time / command line | error / command line |\n|---|---|---|\n');
  names = {'sweeps 1', 'sweeps 2', 'sweeps 4 (default)', 'sweeps 8', 'kernels 16'};
  for s = 1:numel(settings)
    printf('| %s | %.1f | %.4f |\n', names{s}, setting_sums(s, :) / max(counted(3), 1));
  end
end

function [seconds, rms_error] = command_line(gckmatch, files, out)
  [status, text] = system(sprintf('"%s" match "%s" "%s" --threads 1 --out "%s" 2>&1', gckmatch, ...
                                  files{1}, files{2}, out));
  if status ~= 0, error('gckmatch failed: %s', text); end
  seconds = sscanf(text(strfind(text, ') in ')(1) + 5:end), '%f', 1);
  rms_error = sscanf(text(strfind(text, 'mean RMS patch error: ') + 22:end), '%f', 1);
end

function nnf = npy_field(file)
  % field.npy (rows x cols x k x 2, 0-based, int32 in C order) in nnfield's layout.
  fid = fopen(file, 'r');
  closer = onCleanup(@() fclose(fid));
  fread(fid, 8, 'uint8');
  header = fread(fid, double(fread(fid, 1, 'uint16', 0, 'l')), 'uint8=>char')';
  shape = str2num(['[' regexp(header, '''shape'': \(([^)]*)\)', 'tokens', 'once'){1} ']']);
  values = fread(fid, Inf, 'int32=>double', 0, 'l');
  nnf = permute(reshape(values, fliplr(shape)), [4, 3, 1, 2]) + 1;
end

function text = yes_no(flag)
  text = 'no';
  if flag, text = 'yes'; end
end

function remove_folder(folder)
  confirm_recursive_rmdir(false, 'local');
  if exist(folder, 'dir'), rmdir(folder, 's'); end
end
