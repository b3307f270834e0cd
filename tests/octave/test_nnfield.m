function cases = test_nnfield
  % nnfield, the matcher as one MEX function, against the command line's own files.
  cases = {@writes_the_command_lines_field_and_errors, @annfield_routes};
end

function root = repository
  root = fullfile(fileparts(mfilename('fullpath')), '..', '..');
end

function values = read_npy(file)
  % A little-endian int32 or float32 .npy array in C order, as gckmatch writes it.
  fid = fopen(file, 'r');
  closer = onCleanup(@() fclose(fid));
  magic = fread(fid, 8, 'uint8=>char')';
  assert(strcmp(magic(2:6), 'NUMPY'), '%s is no .npy file', file);
  header = fread(fid, double(fread(fid, 1, 'uint16', 0, 'l')), 'uint8=>char')';
  shape = str2num(['[' regexp(header, '''shape'': \(([^)]*)\)', 'tokens', 'once'){1} ']']);
  type = struct('i4', 'int32=>int32', 'f4', 'single=>single');
  descr = regexp(header, '''descr'': ''<(..)''', 'tokens', 'once'){1};
  values = fread(fid, Inf, type.(descr), 0, 'l');
  values = permute(reshape(values, fliplr(shape)), numel(shape):-1:1);
end

function [field, errors] = command_line(images, args)
  out = tempname();
  cleanup = onCleanup(@() confirm_and_remove(out));
  gckmatch = fullfile(repository, 'build', 'linux', 'tools', 'gckmatch');
  [status, text] = system(sprintf('"%s" match %s %s --out "%s"', gckmatch, ...
                                  strjoin(strcat('"', images, '"'), ' '), args, out));
  assert(status == 0, 'gckmatch failed: %s', text);
  field = read_npy(fullfile(out, 'field.npy'));    % rows x cols x k x 2, 0-based
  errors = read_npy(fullfile(out, 'errors.npy'));  % rows x cols x k
end

function confirm_and_remove(folder)
  confirm_recursive_rmdir(false, 'local');
  if exist(folder, 'dir'), rmdir(folder, 's'); end
end

function writes_the_command_lines_field_and_errors
  % Byte for byte, for any thread count: colour, grey with colour, k lists and A within itself.
  data = fullfile(repository, 'data');
  left = fullfile(data, 'motorcycle_left.png');
  right = fullfile(data, 'motorcycle_right.png');
  grey = [tempname() '.png'];
  cleanup = onCleanup(@() delete(grey));
  imwrite(uint8(mean(imread(right)(1:150, 1:200, :), 3)), grey);
  runs = {left, right, '', struct();
          left, right, '--k 3 -w 6 --seed 7 --quality high --threads 2', ...
            struct('k', 3, 'width', 6, 'seed', 7, 'quality', 'high', 'threads', 2);
          left, grey, '--k 2 --seed 0', struct('k', 2, 'seed', 0, 'threads', 1);
          grey, '', '--self --k 4 -w 5', struct('k', 4, 'width', 5, 'threads', 3)};
  for i = 1:size(runs, 1)
    [a_file, b_file, args, opts] = runs{i, :};
    images = {a_file, b_file};
    [field, errors] = command_line(images(~cellfun(@isempty, images)), args);
    B = [];
    if ~isempty(b_file), B = imread(b_file); end
    [nnf, err] = nnfield(imread(a_file), B, opts);
    assert(isequal(nnf, double(permute(field, [1, 2, 4, 3])) + 1), 'run %d: another field', i);
    assert(isequal(err, errors), 'run %d: other errors', i);
  end
end

function annfield_routes
  addpath(fullfile(repository, 'matlab'));
  data = fullfile(repository, 'data');
  A = imread(fullfile(data, 'motorcycle_left.png'))(1:120, 1:160, :);
  B = imread(fullfile(data, 'motorcycle_right.png'))(1:110, 1:150, :);
  % The default route is nnfield's field, options and refusals alike.
  opts = struct('k', 2, 'quality', 'high', 'threads', 1, 'seed', 3);
  [nnf, err] = annfield(A, B, opts);
  [nnf2, err2] = nnfield(A, B, opts);
  assert(isequal(nnf, nnf2) && isequal(err, err2));
  [nnf, err] = annfield_knn(A, [], 3, struct('width', 5));
  [nnf2, err2] = nnfield(A, [], struct('k', 3, 'width', 5));
  assert(isequal(nnf, nnf2) && isequal(err, err2));
  try
    annfield(A, B, struct('k', 9000));
    error('no error');
  catch failure
    assert(strcmp(failure.identifier, 'annfield:k'), failure.identifier);
    assert(strcmp(failure.message, 'k needs a whole number from 1 to 64, not ''9000'''), failure.message);
  end
  try
    annfield(A, B, struct('quality', 'better'));
    error('no error');
  catch failure
    assert(strcmp(failure.identifier, 'annfield:quality'), failure.identifier);
    assert(strcmp(failure.message, 'quality is ''fast'', ''default'', ''high'' or ''best'', not ''better'''), failure.message);
  end
  % The kernels' single best match is no worse, patch by patch, than the best of their k = 4 list.
  kernels = struct('method', 'kernels', 'width', 6);
  [~, one] = annfield(A, B, kernels);
  [~, four] = annfield(A, B, setfield(kernels, 'k', 4));
  assert(all(all(one <= four(:, :, 1))));
  assert(mean(one(:)) < mean(reshape(four(:, :, 1), [], 1)));
  % A start field: after an edit of A, matched again from the field before, no patch away from
  % the edit ends worse than it was; a start for another A is refused in annfield's words.
  [nnf, err] = annfield(A, B, struct('k', 2));
  A(40:70, 50:90, :) = 255;
  [rows, cols] = ndgrid(1:size(err, 1), 1:size(err, 2));
  away = rows + 7 < 40 | rows > 70 | cols + 7 < 50 | cols > 90;
  for opts = {struct('k', 2, 'init', nnf, 'init_err', err), struct('init', nnf)}
    [~, again] = annfield(A, B, opts{1});
    assert(all(again(:, :, 1)(away) <= err(:, :, 1)(away)));
  end
  try
    annfield(A(1:100, :, :), B, struct('init', nnf));
    error('no error');
  catch failure
    assert(strcmp(failure.identifier, 'annfield:init'), failure.identifier);
  end
end
