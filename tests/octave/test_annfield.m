function cases = test_annfield
  % annfield and annfield_knn, the MATLAB front end of the matcher: through nnfield (method
  % 'matcher', the default) or chaining the kernel MEX files (method 'kernels').
  addpath(fullfile(fileparts(mfilename('fullpath')), '..', '..', 'matlab'));
  cases = {@kernels_come_close_to_the_command_line_on_the_bundled_pair, ...
           @identical_images_give_the_identity, ...
           @errors_are_the_patch_errors_of_the_matches, @k_nearest_within_one_image, ...
           @grey_images_and_help_text, @every_width_and_kernel_count_the_command_line_takes, ...
           @options_are_refused_as_the_command_line_refuses_them};
end

function root = repository
  root = fullfile(fileparts(mfilename('fullpath')), '..', '..');
end

function image = scene(m, n, channels, seed)
  % Smooth waves plus noise, like a photograph.
  rand('twister', seed);
  [c, r] = meshgrid(0:n - 1, 0:m - 1);
  image = zeros(m, n, channels);
  for ch = 1:channels
    f = 0.4 * rand(3, 2);
    ph = 6.3 * rand(3, 1);
    v = 128 + 20 * (rand(m, n) - 0.5);
    for i = 1:3
      v = v + 35 * sin(f(i, 1) * r + f(i, 2) * c + ph(i));
    end
    image(:, :, ch) = v;
  end
  image = uint8(image);
end

function kernels_come_close_to_the_command_line_on_the_bundled_pair
  % The mean RMS error of the kernels' field is at most 1% above gckmatch's on the same pair.
  data = fullfile(repository, 'data');
  A = imread(fullfile(data, 'motorcycle_left.png'));
  B = imread(fullfile(data, 'motorcycle_right.png'));
  [nnf, err] = annfield(A, B, struct('method', 'kernels'));
  assert(isequal(size(nnf), [243, 363, 2]) && isequal(size(err), [243, 363]));
  ours = mean(double(err(:))) / sqrt(8 * 8 * 3);
  gckmatch = fullfile(repository, 'build', 'linux', 'tools', 'gckmatch');
  out = tempname();
  [status, text] = system(sprintf('"%s" match "%s" "%s" --out "%s"', gckmatch, ...
                                  fullfile(data, 'motorcycle_left.png'), ...
                                  fullfile(data, 'motorcycle_right.png'), out));
  confirm_recursive_rmdir(false, 'local');
  if exist(out, 'dir'), rmdir(out, 's'); end
  assert(status == 0, 'gckmatch failed: %s', text);
  theirs = sscanf(text(strfind(text, 'mean RMS patch error: ') + 22:end), '%f', 1);
  assert(ours <= 1.01 * theirs, 'annfield %.4f against gckmatch %.4f', ours, theirs);
end

function identical_images_give_the_identity
  rand('twister', 5);
  A = uint8(randi([0 255], 30, 41, 3));
  [c, r] = meshgrid(1:34, 1:23);
  for method = {'matcher', 'kernels'}
    [nnf, err] = annfield(A, A, struct('method', method{1}));
    assert(isequal(nnf(:, :, 1), r) && isequal(nnf(:, :, 2), c), method{1});
    assert(all(err(:) == 0), method{1});
  end
end

function errors_are_the_patch_errors_of_the_matches
  A = scene(35, 44, 3, 1);
  B = scene(39, 37, 3, 2);
  for method = {'matcher', 'kernels'}
    [nnf, err] = annfield(A, B, struct('width', 5, 'k', 3, 'method', method{1}));
    assert(isequal(size(nnf), [31, 40, 2, 3]) && isequal(size(err), [31, 40, 3]));
    check_field(A, B, nnf, err, 5);
  end
end

function k_nearest_within_one_image
  A = scene(28, 33, 3, 3);
  for method = {'matcher', 'kernels'}
    [nnf, err] = annfield_knn(A, [], 4, struct('width', 4, 'method', method{1}));
    assert(isequal(size(nnf), [25, 30, 2, 4]));
    check_field(A, [], nnf, err, 4);
  end
end

function grey_images_and_help_text
  A = scene(26, 31, 1, 4);
  B = scene(30, 27, 1, 6);
  [nnf, err] = annfield(A, B, struct('width', 6));
  assert(isequal(size(nnf), [21, 26, 2]) && all(err(:) >= 0));
  assert(~isempty(strfind(help('annfield'), 'nearest-neighbour field')));
  assert(~isempty(strfind(help('annfield_knn'), 'k nearest patches')));
  assert_fails_with(@() annfield(A, B, struct('width', 40)), ...
                    'patch width 40 is larger than a 31 x 26 image');
end

function check_field(A, B, nnf, err, w)
  % Every patch's matches are distinct patches of B (with B empty, other patches of A) and its
  % errors their exact patch errors, best first.
  self = isempty(B);
  if self, B = A; end
  [ma, na, ~, k] = size(nnf);
  for r = 1:ma
    for c = 1:na
      matches = squeeze(nnf(r, c, :, :))';
      if self, matches(end + 1, :) = [r, c]; end
      assert(size(unique(matches, 'rows'), 1) == size(matches, 1), 'repeated match at (%d, %d)', r, c);
      for s = 1:k
        [rb, cb] = deal(nnf(r, c, 1, s), nnf(r, c, 2, s));
        d = double(A(r:r + w - 1, c:c + w - 1, :)) - double(B(rb:rb + w - 1, cb:cb + w - 1, :));
        assert(err(r, c, s) == single(sqrt(sum(d(:) .^ 2))), 'error of (%d, %d) entry %d', r, c, s);
      end
      assert(issorted(squeeze(err(r, c, :))));
    end
  end
end

function every_width_and_kernel_count_the_command_line_takes
  colour = scene(19, 22, 3, 7);
  grey = scene(18, 21, 1, 8);
  for o = {struct('width', 1), struct('width', 2, 'kernels', 1), struct('width', 3, 'k', 2), ...
           struct('width', 5, 'kernels', 5)}
    o{1}.method = 'kernels';
    [nnf, err] = annfield(colour, grey, o{1});
    check_field(colour, grey, nnf, err, o{1}.width);
    [nnf, err] = annfield(grey, [], setfield(o{1}, 'k', 2));
    check_field(grey, [], nnf, err, o{1}.width);
  end
  % Patches wider than 15 are projected with tiles of side-8 kernels.
  A = scene(40, 44, 3, 9);
  B = A(3:end, 2:end, :);
  [nnf, err] = annfield(A, B, struct('width', 16, 'method', 'kernels'));
  check_field(A, B, nnf, err, 16);
  assert(all(all(err(3:end, 2:end) == 0)) && isequal(nnf(3:end, 2, 1), (1:23)'));
  A = scene(70, 72, 1, 10);
  [nnf, err] = annfield(A, [], struct('width', 65, 'k', 3, 'kernels', 64, 'method', 'kernels'));
  check_field(A, [], nnf, err, 65);
  % An alpha channel is dropped, as when the command line reads an image file.
  alpha = repmat(uint8(255), 19, 22);
  for method = {'matcher', 'kernels'}
    o = struct('width', 4, 'method', method{1});
    [nnf, err] = annfield(cat(3, colour, alpha), cat(3, grey, grey), o);
    [nnf_without, err_without] = annfield(colour, grey, o);
    assert(isequal(nnf, nnf_without) && isequal(err, err_without));
  end
end

function options_are_refused_as_the_command_line_refuses_them
  A = scene(20, 23, 3, 11);
  nine = A(1:10, 1:10, :);   % 3 x 3 patches of width 8
  number = @(name, low, high, value) ...
      sprintf('%s needs a whole number from %d to %d, not ''%s''', name, low, high, value);
  kernels = @(o) setfield(o, 'method', 'kernels');
  cases = {struct('k', 0), 'annfield:k', number('k', 1, 64, '0');
           struct('k', '2'), 'annfield:k', number('k', 1, 64, '2');
           struct('width', 2.5), 'annfield:width', number('width', 1, 104, '2.5');
           struct('width', NaN), 'annfield:width', number('width', 1, 104, 'NaN');
           kernels(struct('sweeps', -1)), 'annfield:sweeps', number('sweeps', 0, 1000, '-1');
           struct('seed', NaN), 'annfield:seed', number('seed', 0, 2147483647, 'NaN');
           kernels(struct('bits', 31)), 'annfield:bits', number('bits', 1, 24, '31');
           kernels(struct('bits', [16 16])), 'annfield:bits', number('bits', 1, 24, 'a 1x2 double');
           struct('threads', 2000), 'annfield:threads', number('threads', 0, 1024, '2000');
           struct('widht', 4), 'annfield:option', 'unknown option ''widht''';
           struct('sweeps', 4), 'annfield:option', 'option ''sweeps'' belongs to method ''kernels''';
           kernels(struct('quality', 'high')), 'annfield:option', ...
             'option ''quality'' belongs to method ''matcher''';
           struct('method', 'fast'), 'annfield:method', 'method is ''matcher'' or ''kernels'', not ''fast''';
           struct('quality', 'better'), 'annfield:quality', 'quality is ''fast'', ''default'', ''high'' or ''best'', not ''better''';
           struct('k', 10), 'annfield:k', 'too few patches for k = 10';
           kernels(struct('k', 10)), 'annfield:k', 'too few patches for k = 10'};
  calls = [cellfun(@(o) @() annfield(A, nine, o), cases(:, 1), 'UniformOutput', false);
           {@() annfield_knn(nine, [], 9); @() annfield(A(1:8, 1:8, :), []);
            @() annfield_knn(A, A, 3, 'fast'); @() annfield(cat(3, A, A(:, :, 1:2)), A);
            @() annfield(zeros(20, 24, 0, 'uint8'), []); @() annfield(A, {});
            @() annfield(A, zeros(0, 5)); @() annfield(A, {}, kernels(struct()))}];
  cases(end + 1:end + 8, 2:3) = {'annfield:k', 'too few patches for k = 9';
                                 'annfield:k', 'too few patches for k = 1';
                                 'annfield:options', 'options must be one struct';
                                 'annfield:channels', 'images must have 1 or 3 channels (2 or 4 with alpha)';
                                 'annfield:channels', 'images must have 1 or 3 channels (2 or 4 with alpha)';
                                 'annfield:class', 'A and B must be uint8 images';
                                 'annfield:class', 'A and B must be uint8 images';
                                 'annfield:class', 'A and B must be uint8 images'};
  for i = 1:numel(calls)
    try
      calls{i}();
      error('no error raised; expected "%s"', cases{i, 3});
    catch err
      assert(strcmp(err.identifier, cases{i, 2}) && strcmp(err.message, cases{i, 3}), ...
             'got %s "%s", expected "%s"', err.identifier, err.message, cases{i, 3});
    end
  end
  % Just enough patches: k in B, k + 1 within one image.
  for method = {'matcher', 'kernels'}
    o = struct('method', method{1});
    [nnf, err] = annfield_knn(A, nine, 9, o);
    check_field(A, nine, nnf, err, 8);
    [nnf, err] = annfield_knn(nine, [], 8, o);
    check_field(nine, [], nnf, err, 8);
  end
end
